// NTFS in the registry: its probe, and the scan workers of its three modes (the MFT the boot
// sector names, a rebuild from an MFT copy the anchor search found, or every MFT record on the
// volume).

#include <algorithm>
#include <array>

#include "fs/ntfs/boot_sector.h"
#include "fs/ntfs/ntfs_adapter.h"
#include "fs/ntfs/ntfs_file_system.h"
#include "fs/ntfs/ntfs_volume.h"
#include "fs/parser_scanner.h"

namespace vdrec::fs::ntfs {

namespace {

bool probe(const image::BlockDevice& volume) {
    std::array<std::byte, 512> sector{};
    if (!volume.readAt(0, sector.data(), sector.size())) return false;
    const auto boot = decodeBootSector(platform::Bytes(sector.data(), sector.size()));
    return boot && boot->oemIsNtfs && boot->bytesPerSector >= 256 && boot->bytesPerSector <= 4096 &&
           (boot->bytesPerSector & (boot->bytesPerSector - 1)) == 0 && usableClusterSize(boot->clusterBytes());
}

class NtfsScanner final : public ParserScanner<NtfsVolume, NtfsAdapter> {
public:
    NtfsScanner(const ScanTarget& target, platform::UiSink& sink) : ParserScanner(target, sink) {
        sink_.status("ntfs partition selected....");
    }

    size_t findAnchors(int maxCount) override {
        parser_.bind(target_.volume, target_.volumeBytes);
        parser_.readBootSector();
        return static_cast<size_t>(parser_.findMftAnchors(maxCount));
    }

    std::vector<AnchorInfo> anchors() const override {
        std::vector<AnchorInfo> out;
        for (size_t k = 0; k < parser_.anchors().size(); ++k)
            out.push_back({k, parser_.anchors()[k].text, parser_.anchors()[k].sector});
        return out;
    }

    bool run(ScanMode mode, const AdvancedChoice& choice, ScanResults& results) override {
        if (mode == ScanMode::Advanced) {
            parser_.stopRequested = false;
            parser_.scanMode = NtfsVolume::kAdvanced;
            parser_.resetForAnchor();
            parser_.selectMftAnchor(choice.anchorIndex);
            if (choice.sectorsPerCluster > 0) parser_.clusterBytes = uint64_t(choice.sectorsPerCluster) * 512;
        } else {
            parser_.bind(target_.volume, target_.volumeBytes);
            parser_.readBootSector();
            // A boot sector may claim more sectors than the disk holds; the scans stop at its end.
            parser_.volumeBytes = std::min(parser_.volumeBytes, target_.bytesToDiskEnd);
            parser_.scanMode = static_cast<int>(mode);
            if (mode == ScanMode::Standard) {
                sink_.status(" ParsingBasedOnMFT is going on....");
                // Neither an NTFS boot sector nor an MFT record anywhere on the volume: it holds
                // no NTFS, and an empty listing would say it holds nothing.
                if (!parser_.locateMft() && !parser_.stopRequested && !probe(target_.volume)) {
                    sink_.message(notThisFileSystemMessage(FileSystem::Ntfs));
                    return false;
                }
            } else {
                sink_.status(" scanning for mft entries in deep mode ....");
                parser_.deepScanMft();
            }
        }
        parser_.collectMftRecords();
        parser_.parseAllRecords();
        // An MFT record found on a volume whose boot sector is not NTFS may be another volume's
        // (a hand-given volume that runs into the next one): when it gives nothing to list, the
        // volume holds no NTFS rather than an empty one.
        if (mode == ScanMode::Standard && !parser_.stopRequested && !probe(target_.volume) && nothingListed()) {
            sink_.message(notThisFileSystemMessage(FileSystem::Ntfs));
            return false;
        }

        results.buildTopLevel();
        results.afterScan();
        results.restoreRecycledNames();
        sink_.message(kScanDone);
        sink_.status(kScanDone);
        return true;
    }

private:
    // Nothing but empty folders (the orphan folder) at the top.
    bool nothingListed() const {
        for (int64_t index : parser_.rootLevel())
            if (!adapter_.isFolder(index) || adapter_.hasChildren(index)) return false;
        return true;
    }
};

std::unique_ptr<Scanner> makeScanner(const ScanTarget& target, platform::UiSink& sink) {
    return std::make_unique<NtfsScanner>(target, sink);
}

std::vector<std::string> clusterSizeItems(std::optional<int>) { return {"8", "4", "2", "16", "32", "64"}; }

}  // namespace

const FileSystemType& ntfsFileSystem() {
    static const FileSystemType type{FileSystem::Ntfs, probe, makeScanner, clusterSizeItems};
    return type;
}

}  // namespace vdrec::fs::ntfs
