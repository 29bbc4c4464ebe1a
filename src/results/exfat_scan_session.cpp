// The exFAT scan workers: the standard walk from the boot sector, or the advanced rebuild from
// the FAT and cluster-heap anchors the anchor search found.

#include "fs/exfat/exfat_adapter.h"
#include "fs/exfat/exfat_volume.h"
#include "platform/text_format.h"
#include "results/parser_scan_session.h"

namespace vdrec::results {

namespace {

class ExfatScanSession final : public ParserScanSession<fs::exfat::ExfatVolume, fs::exfat::ExfatAdapter> {
public:
    ExfatScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader, platform::UiSink& sink)
        : ParserScanSession(volume, reader, sink) {}

    size_t findAnchors(int maxCount) override {
        parser_.attachVolume(slice_, volume_.sizeText);
        parser_.checkBootSector();
        sink_.status("Finding Fat64 entries....");
        const size_t found = parser_.findFatAnchors(maxCount);
        parser_.findHeapAnchors(maxCount);
        return found;
    }

    std::vector<AnchorInfo> anchors() const override { return listed(parser_.fatAnchors(), "FAT64_ENTRY:%zu"); }
    std::vector<AnchorInfo> heapAnchors() const override {
        return listed(parser_.heapAnchors(), "HEAP_OFFSET_ENTRY:%zu");
    }
    std::optional<int> bootSectorsPerCluster() const override { return parser_.bootClusterShift(); }

    bool run(ScanMode mode, const AdvancedChoice& choice) override {
        parser_.formattedDrive = choice.formatted;
        if (mode == ScanMode::Advanced) {
            parser_.stopRequested = false;
            const auto& fats = parser_.fatAnchors();
            const auto& heaps = parser_.heapAnchors();
            const uint64_t fat = choice.anchorIndex < fats.size() ? fats[choice.anchorIndex] : 0;
            const uint64_t heap = choice.heapIndex < heaps.size() ? heaps[choice.heapIndex] : 0;
            if (parser_.prepareAdvanced(fat, heap, choice.sectorsPerCluster)) {
                parser_.scanForCandidates();
                sink_.status("Maintaining TreeStructure for Tree Control");
                parser_.buildFromCandidates();
                parser_.linkChildren();
                buildRootItems();
            }
        } else {
            parser_.attachVolume(slice_, volume_.sizeText);
            if (!parser_.checkBootSector()) {
                sink_.message("Selected Drive is not in exFat Format");
                return false;
            }
            if (!parser_.loadRootDirectory()) {
                sink_.message("error...");
                sink_.message(kScanDone);
                sink_.status(kScanDone);
                return false;
            }
            sink_.status("processing file and directory entries...");
            sink_.status("Finding Fat64 File And Directory entries recursively....");
            parser_.walkRootDirectory();
            parser_.linkChildren();
            sink_.status("creating tree Structure...");
            buildRootItems();
            sink_.message("done...");
        }
        model_.afterScan();
        model_.restoreRecycledNames();
        sink_.message(kScanDone);
        sink_.status(kScanDone);
        return true;
    }

private:
    static std::vector<AnchorInfo> listed(const std::vector<uint64_t>& offsets, const char* itemFormat) {
        std::vector<AnchorInfo> out;
        for (size_t k = 0; k < offsets.size(); ++k)
            out.push_back({k, platform::format(itemFormat, k), offsets[k] / 512});
        return out;
    }
};

}  // namespace

std::unique_ptr<ScanSession> makeExfatScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader,
                                                  platform::UiSink& sink) {
    return std::make_unique<ExfatScanSession>(volume, reader, sink);
}

}  // namespace vdrec::results
