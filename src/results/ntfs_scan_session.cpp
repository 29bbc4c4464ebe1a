#include "fs/ntfs/ntfs_volume.h"
#include "fs/ntfs/ntfs_adapter.h"
#include "image/image_reader.h"
#include "results/parser_scan_session.h"

namespace vdrec::results {

namespace {

class NtfsScanSession final : public ParserScanSession<fs::ntfs::NtfsVolume, fs::ntfs::NtfsAdapter> {
public:
    NtfsScanSession(const volumes::VolumeEntry& volume, uint64_t totalSectors, image::ImageReader& reader,
                    platform::UiSink& sink)
        : ParserScanSession(volume, reader, sink) {
        const uint64_t start = volume.startSector > 0 ? static_cast<uint64_t>(volume.startSector) : 0;
        const uint64_t sectors = start < totalSectors ? totalSectors - start : 0;
        bytesToDiskEnd_ = sectors > UINT64_MAX / image::kSectorSize ? UINT64_MAX : sectors * image::kSectorSize;
        sink_.status("ntfs partition selected....");
    }

    size_t findAnchors(int maxCount) override {
        parser_.bind(slice_, volume_.sizeText);
        parser_.readBootSector();
        return static_cast<size_t>(parser_.findMftAnchors(maxCount));
    }

    std::vector<AnchorInfo> anchors() const override {
        std::vector<AnchorInfo> out;
        for (size_t k = 0; k < parser_.anchors().size(); ++k)
            out.push_back({k, parser_.anchors()[k].text, parser_.anchors()[k].sector});
        return out;
    }

    bool run(ScanMode mode, const AdvancedChoice& choice) override {
        if (mode == ScanMode::Advanced) {
            parser_.stopRequested = false;
            parser_.scanMode = fs::ntfs::NtfsVolume::kAdvanced;
            parser_.resetForAnchor();
            parser_.selectMftAnchor(choice.anchorIndex);
            if (choice.sectorsPerCluster > 0) parser_.clusterBytes = uint64_t(choice.sectorsPerCluster) * 512;
        } else {
            parser_.bind(slice_, volume_.sizeText);
            parser_.readBootSector();
            // A boot sector may claim more sectors than the disk holds; the scans stop at its end.
            parser_.volumeBytes = std::min(parser_.volumeBytes, bytesToDiskEnd_);
            parser_.scanMode = static_cast<int>(mode);
            if (mode == ScanMode::Standard) {
                sink_.status(" ParsingBasedOnMFT is going on....");
                parser_.locateMft();
            } else {
                sink_.status(" scanning for mft entries in deep mode ....");
                parser_.deepScanMft();
            }
        }
        parser_.collectMftRecords();
        parser_.parseAllRecords();

        model_.buildTopLevel();
        model_.afterScan();
        model_.restoreRecycledNames();
        sink_.message(kScanDone);
        sink_.status(kScanDone);
        return true;
    }

private:
    uint64_t bytesToDiskEnd_ = 0;
};

}  // namespace

std::unique_ptr<ScanSession> makeNtfsScanSession(const volumes::VolumeEntry& volume, uint64_t totalSectors,
                                                 image::ImageReader& reader, platform::UiSink& sink) {
    return std::make_unique<NtfsScanSession>(volume, totalSectors, reader, sink);
}

}  // namespace vdrec::results
