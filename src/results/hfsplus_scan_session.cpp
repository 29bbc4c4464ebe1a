// The HFS+ scan workers: the standard scan from the volume header through the catalog, or the
// deep scan of every block of the volume for catalog leaf nodes.

#include <algorithm>
#include <cstdlib>

#include "fs/hfsplus/hfsplus_adapter.h"
#include "fs/hfsplus/hfsplus_volume.h"
#include "image/image_reader.h"
#include "results/parser_scan_session.h"

namespace vdrec::results {

namespace {

class HfsPlusScanSession final : public ParserScanSession<fs::hfsplus::HfsPlusVolume, fs::hfsplus::HfsPlusAdapter> {
public:
    HfsPlusScanSession(const volumes::VolumeEntry& volume, uint64_t totalSectors, image::ImageReader& reader,
                       platform::UiSink& sink)
        : ParserScanSession(volume, reader, sink) {
        const uint64_t start = volume.startSector > 0 ? static_cast<uint64_t>(volume.startSector) : 0;
        const uint64_t sectors = start < totalSectors ? totalSectors - start : 0;
        bytesToDiskEnd_ = sectors > UINT64_MAX / image::kSectorSize ? UINT64_MAX : sectors * image::kSectorSize;
        sink_.status("HFS+ partition selected....");
    }

    // HFS+ has no advanced mode: nothing to anchor.
    size_t findAnchors(int) override { return 0; }
    std::vector<AnchorInfo> anchors() const override { return {}; }

    bool run(ScanMode mode, const AdvancedChoice&) override {
        parser_.stopRequested = false;
        parser_.attachVolume(slice_);
        const bool headerRead = parser_.readVolumeHeader();
        bool scanned = false;
        if (mode == ScanMode::Standard) {
            scanned = headerRead && parser_.readExtentsOverflow() && parser_.readCatalog();
        } else if (parser_.scanVolumeForNodes(deepScanBytes())) {
            // The header, when it reads, still gives the block size and the extents file.
            parser_.readFoundCatalogNodes();
            parser_.readExtentsOverflow();
            scanned = true;
        }
        if (!scanned) {
            sink_.status("Running process Aborted....");
            return false;
        }
        parser_.linkEntries();
        for (int64_t index : parser_.rootLevel())
            sink_.status(platform::format(parser_.entry(index).folder ? "found folder at Node %lld" : "found file at Node %lld",
                                          static_cast<long long>(index)));
        model_.buildTopLevel();
        model_.afterScan();
        sink_.status(kScanDone);
        sink_.message(kScanDone);
        return true;
    }

private:
    // The size text counts whole megabytes, rounded down, and a volume's last blocks often hold
    // catalog nodes or file data: the scan reaches one megabyte further, never past the disk.
    uint64_t deepScanBytes() const {
        const long megabytes = std::strtol(volume_.sizeText.c_str(), nullptr, 10);
        if (megabytes < 1) return 0;
        const uint64_t bytes = (static_cast<uint64_t>(std::min<long>(megabytes, INT32_MAX)) + 1) << 20;
        return std::min(bytes, bytesToDiskEnd_);
    }

    uint64_t bytesToDiskEnd_ = 0;
};

}  // namespace

std::unique_ptr<ScanSession> makeHfsPlusScanSession(const volumes::VolumeEntry& volume, uint64_t totalSectors,
                                                    image::ImageReader& reader, platform::UiSink& sink) {
    return std::make_unique<HfsPlusScanSession>(volume, totalSectors, reader, sink);
}

}  // namespace vdrec::results
