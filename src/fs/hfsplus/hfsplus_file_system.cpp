// HFS+ in the registry: its probe, and the scan workers of the standard scan from the volume
// header through the catalog and of the deep scan of every block for catalog leaf nodes.

#include <algorithm>
#include <array>

#include "fs/hfsplus/hfsplus_adapter.h"
#include "fs/hfsplus/hfsplus_file_system.h"
#include "fs/hfsplus/hfsplus_volume.h"
#include "fs/parser_scanner.h"

namespace vdrec::fs::hfsplus {

namespace {

// The volume header lies 1,024 bytes into the volume.
constexpr uint64_t kVolumeHeaderOffset = 1024;

bool probe(const image::BlockDevice& volume) {
    std::array<std::byte, 512> header{};
    if (!volume.readAt(kVolumeHeaderOffset, header.data(), header.size())) return false;
    return decodeVolumeHeader(platform::Bytes(header.data(), header.size())).has_value();
}

class HfsPlusScanner final : public ParserScanner<HfsPlusVolume, HfsPlusAdapter> {
public:
    HfsPlusScanner(const ScanTarget& target, platform::UiSink& sink) : ParserScanner(target, sink) {
        sink_.status("HFS+ partition selected....");
    }

    // HFS+ has no advanced mode: nothing to anchor.
    size_t findAnchors(int) override { return 0; }
    std::vector<AnchorInfo> anchors() const override { return {}; }

    bool run(ScanMode mode, const AdvancedChoice&, ScanResults& results) override {
        parser_.stopRequested = false;
        parser_.attachVolume(target_.volume);
        const bool headerRead = parser_.readVolumeHeader();
        bool scanned = false;
        if (mode == ScanMode::Standard) {
            // Without its header the volume holds no HFS+ the standard scan can read (deep mode
            // looks for catalog nodes without it).
            if (!headerRead) sink_.message(notThisFileSystemMessage(FileSystem::HfsPlus));
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
        results.buildTopLevel();
        results.afterScan();
        sink_.status(kScanDone);
        sink_.message(kScanDone);
        return true;
    }

private:
    // A volume's last blocks often hold catalog nodes or file data, and the listed size may be
    // rounded down to whole megabytes: the scan reaches one megabyte further, never past the disk.
    uint64_t deepScanBytes() const {
        if (target_.volumeBytes == 0) return 0;
        const uint64_t bytes = target_.volumeBytes > UINT64_MAX - (1u << 20) ? UINT64_MAX : target_.volumeBytes + (1u << 20);
        return std::min(bytes, target_.bytesToDiskEnd);
    }
};

std::unique_ptr<Scanner> makeScanner(const ScanTarget& target, platform::UiSink& sink) {
    return std::make_unique<HfsPlusScanner>(target, sink);
}

}  // namespace

const FileSystemType& hfsPlusFileSystem() {
    static const FileSystemType type{FileSystem::HfsPlus, probe, makeScanner, nullptr};
    return type;
}

}  // namespace vdrec::fs::hfsplus
