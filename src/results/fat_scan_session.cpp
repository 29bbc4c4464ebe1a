// The FAT16 and FAT32 scan workers: the standard walk from the boot sector, or the advanced
// rebuild from a FAT copy the anchor search found.

#include "fs/fat/fat_adapter.h"
#include "fs/fat/fat_volume.h"
#include "platform/text_format.h"
#include "results/parser_scan_session.h"

namespace vdrec::results {

namespace {

class FatScanSession final : public ParserScanSession<fs::fat::FatVolume, fs::fat::FatAdapter> {
public:
    FatScanSession(FileSystemKind kind, const volumes::VolumeEntry& volume, image::ImageReader& reader,
                   platform::UiSink& sink)
        : ParserScanSession(volume, reader, sink,
                            kind == FileSystemKind::Fat16 ? fs::fat::FatType::Fat16 : fs::fat::FatType::Fat32) {}

    size_t findAnchors(int maxCount) override {
        parser_.attachVolume(slice_, volume_.sizeText);
        parser_.checkBootSector();
        if (fat16()) sink_.status("Finding Fat entries....");
        return parser_.findFatAnchors(maxCount);
    }

    std::vector<AnchorInfo> anchors() const override {
        std::vector<AnchorInfo> out;
        for (size_t k = 0; k < parser_.anchors().size(); ++k)
            out.push_back({k, parser_.anchors()[k].text, parser_.anchors()[k].offset / 512});
        return out;
    }

    std::optional<int> bootSectorsPerCluster() const override { return parser_.bootSectorsPerCluster(); }

    bool run(ScanMode mode, const AdvancedChoice& choice) override {
        parser_.formattedDrive = choice.formatted;
        if (mode == ScanMode::Advanced) {
            parser_.stopRequested = false;
            if (!parser_.prepareAdvanced(choice.anchorIndex, choice.sectorsPerCluster)) return false;
            parser_.scanForCandidates();
            sink_.status("Maintaining directory Structure in AdvanceScanning");
            parser_.buildFromCandidates();
            sink_.status(fat16() ? "Maintaining Tree Structure for Tree Control" : "Maintaining TreeStructure for Tree Control");
            parser_.linkChildren();
            buildRootItems();
        } else {
            parser_.attachVolume(slice_, volume_.sizeText);
            if (!parser_.checkBootSector()) {
                sink_.message(fat16() ? "Selected Drive is not in Fat16 Format" : "Selected Drive is not in Fat32 Format");
                return false;
            }
            parser_.loadFat();
            parser_.loadRootDirectory();
            sink_.status(fat16() ? "Finding Fat16 File And Directory entries recursively...."
                                 : "Finding Fat32 File And Directory entries recursively....");
            parser_.walkRootDirectory();
            sink_.status("maintaining tree Structure in vector...");
            parser_.linkChildren();
            sink_.status("Creating Tree Structure....");
            buildRootItems();
            sink_.status("Tree Structure Created.");
            if (fat16()) {
                sink_.progressRange(0, 100);
                sink_.progressPosition(100);
            }
        }
        model_.afterScan();
        if (!fat16()) model_.restoreRecycledNames();
        sink_.message(kScanDone);
        sink_.status(kScanDone);
        return true;
    }

private:
    bool fat16() const { return parser_.type() == fs::fat::FatType::Fat16; }
};

}  // namespace

std::unique_ptr<ScanSession> makeFatScanSession(FileSystemKind kind, const volumes::VolumeEntry& volume,
                                                image::ImageReader& reader, platform::UiSink& sink) {
    return std::make_unique<FatScanSession>(kind, volume, reader, sink);
}

}  // namespace vdrec::results
