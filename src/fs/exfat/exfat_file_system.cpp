// exFAT in the registry: its probe, and the scan workers of the standard walk from the boot
// sector and of the advanced rebuild from the FAT and cluster-heap anchors the search found.

#include <array>

#include "fs/exfat/boot_sector.h"
#include "fs/exfat/exfat_adapter.h"
#include "fs/exfat/exfat_file_system.h"
#include "fs/exfat/exfat_volume.h"
#include "fs/parser_scanner.h"

namespace vdrec::fs::exfat {

namespace {

bool probe(const image::BlockDevice& volume) {
    std::array<std::byte, 512> sector{};
    if (!volume.readAt(0, sector.data(), sector.size())) return false;
    return decodeExfatBootSector(platform::Bytes(sector.data(), sector.size())).has_value();
}

class ExfatScanner final : public ParserScanner<ExfatVolume, ExfatAdapter> {
public:
    ExfatScanner(const ScanTarget& target, platform::UiSink& sink) : ParserScanner(target, sink) {}

    size_t findAnchors(int maxCount) override {
        parser_.attachVolume(target_.volume, target_.volumeBytes);
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

    bool run(ScanMode mode, const AdvancedChoice& choice, ScanResults& results) override {
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
                buildRootItems(results);
            }
        } else {
            parser_.attachVolume(target_.volume, target_.volumeBytes);
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
            buildRootItems(results);
            sink_.message("done...");
        }
        results.afterScan();
        results.restoreRecycledNames();
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

std::unique_ptr<Scanner> makeScanner(const ScanTarget& target, platform::UiSink& sink) {
    return std::make_unique<ExfatScanner>(target, sink);
}

// Cluster shifts. After the usual large ones, the smaller ones mkfs.exfat and Windows give
// volumes under 32 GiB (3 and 6 most often), without which those could not be rebuilt.
std::vector<std::string> clusterSizeItems(std::optional<int> boot) {
    std::vector<std::string> items;
    if (boot) items.push_back(platform::format("%d", *boot));
    for (int shift : {8, 9, 10, 11, 0, 1, 2, 3, 4, 5, 6, 7})
        if (boot != shift) items.push_back(platform::format("%d", shift));
    return items;
}

}  // namespace

const FileSystemType& exfatFileSystem() {
    static const FileSystemType type{FileSystem::Exfat, probe, makeScanner, clusterSizeItems};
    return type;
}

}  // namespace vdrec::fs::exfat
