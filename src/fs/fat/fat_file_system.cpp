// FAT16 and FAT32 in the registry: their probes, and the scan workers of the standard walk from
// the boot sector and of the advanced rebuild from a FAT copy the anchor search found.

#include <array>

#include "fs/fat/fat_adapter.h"
#include "fs/fat/fat_boot_sector.h"
#include "fs/fat/fat_file_system.h"
#include "fs/fat/fat_volume.h"
#include "fs/parser_scanner.h"

namespace vdrec::fs::fat {

namespace {

bool holdsFat(const image::BlockDevice& volume, FatType type) {
    std::array<std::byte, 512> sector{};
    if (!volume.readAt(0, sector.data(), sector.size())) return false;
    const auto boot = decodeFatBootSector(platform::Bytes(sector.data(), sector.size()));
    return boot && boot->type == type;
}

bool probeFat32(const image::BlockDevice& volume) { return holdsFat(volume, FatType::Fat32); }
bool probeFat16(const image::BlockDevice& volume) { return holdsFat(volume, FatType::Fat16); }

class FatScanner final : public ParserScanner<FatVolume, FatAdapter> {
public:
    FatScanner(const ScanTarget& target, platform::UiSink& sink)
        : ParserScanner(target, sink, target.fileSystem == FileSystem::Fat16 ? FatType::Fat16 : FatType::Fat32) {}

    size_t findAnchors(int maxCount) override {
        parser_.attachVolume(target_.volume, target_.volumeBytes);
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

    bool run(ScanMode mode, const AdvancedChoice& choice, ScanResults& results) override {
        parser_.formattedDrive = choice.formatted;
        if (mode == ScanMode::Advanced) {
            parser_.stopRequested = false;
            if (!parser_.prepareAdvanced(choice.anchorIndex, choice.sectorsPerCluster)) return false;
            parser_.scanForCandidates();
            sink_.status("Maintaining directory Structure in AdvanceScanning");
            parser_.buildFromCandidates();
            sink_.status(fat16() ? "Maintaining Tree Structure for Tree Control" : "Maintaining TreeStructure for Tree Control");
            parser_.linkChildren();
            buildRootItems(results);
        } else {
            parser_.attachVolume(target_.volume, target_.volumeBytes);
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
            buildRootItems(results);
            sink_.status("Tree Structure Created.");
            if (fat16()) {
                sink_.progressRange(0, 100);
                sink_.progressPosition(100);
            }
        }
        results.afterScan();
        if (!fat16()) results.restoreRecycledNames();
        sink_.message(kScanDone);
        sink_.status(kScanDone);
        return true;
    }

private:
    bool fat16() const { return parser_.type() == FatType::Fat16; }
};

std::unique_ptr<Scanner> makeScanner(const ScanTarget& target, platform::UiSink& sink) {
    return std::make_unique<FatScanner>(target, sink);
}

// One-sector clusters are what mkfs.fat gives small volumes: without "1" they could not be
// rebuilt at all.
std::vector<std::string> clusterItems(std::optional<int> boot, std::initializer_list<const char*> usual) {
    std::vector<std::string> items;
    if (boot) items.push_back(platform::format("%d", *boot));
    for (const char* item : usual) items.push_back(item);
    if (boot != 1) items.push_back("1");
    return items;
}

std::vector<std::string> fat32ClusterItems(std::optional<int> boot) { return clusterItems(boot, {"2", "4", "16", "32", "64", "8"}); }
std::vector<std::string> fat16ClusterItems(std::optional<int> boot) {
    return clusterItems(boot, {"4", "8", "16", "2", "32", "64", "128"});
}

}  // namespace

const FileSystemType& fat32FileSystem() {
    static const FileSystemType type{FileSystem::Fat32, probeFat32, makeScanner, fat32ClusterItems};
    return type;
}

const FileSystemType& fat16FileSystem() {
    static const FileSystemType type{FileSystem::Fat16, probeFat16, makeScanner, fat16ClusterItems};
    return type;
}

}  // namespace vdrec::fs::fat
