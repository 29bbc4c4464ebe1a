// ext2/3/4 in the registry: its probe, and the standard scan from the superblock through the
// directories.

#include <vector>

#include "fs/ext/ext_adapter.h"
#include "fs/ext/ext_file_system.h"
#include "fs/ext/ext_volume.h"
#include "fs/ext/superblock.h"
#include "fs/parser_scanner.h"

namespace vdrec::fs::ext {

namespace {

bool probe(const image::BlockDevice& volume) {
    std::vector<std::byte> bytes(kSuperblockBytes);
    if (!volume.readAt(kSuperblockBytes, bytes.data(), bytes.size())) return false;
    return decodeSuperblock(platform::Bytes(bytes.data(), bytes.size())).has_value();
}

class ExtScanner final : public ParserScanner<ExtVolume, ExtAdapter> {
public:
    ExtScanner(const ScanTarget& target, platform::UiSink& sink) : ParserScanner(target, sink) {}

    // ext has no advanced mode: nothing to anchor.
    size_t findAnchors(int) override { return 0; }
    std::vector<AnchorInfo> anchors() const override { return {}; }

    bool run(ScanMode, const AdvancedChoice&, ScanResults& results) override {
        parser_.stopRequested = false;
        parser_.attachVolume(target_.volume, target_.volumeBytes);
        // No superblock (nor a backup of one) or no group descriptors: the volume holds no ext
        // file system that can be read, and an empty listing would say it holds nothing.
        if (parser_.volumeBytes() == 0 || !parser_.findSuperblock() || !parser_.loadGroupDescriptors()) {
            sink_.message(notThisFileSystemMessage(FileSystem::Ext));
            return false;
        }
        parser_.readInodeTables();
        parser_.readDirectories();
        parser_.keepNamedRecords();
        parser_.linkRecords();
        sink_.status("filling root entries in  tree....");
        results.buildTopLevel();
        results.afterScan();
        sink_.status(kScanDone);
        sink_.message(kScanDone);
        return true;
    }
};

std::unique_ptr<Scanner> makeScanner(const ScanTarget& target, platform::UiSink& sink) {
    return std::make_unique<ExtScanner>(target, sink);
}

}  // namespace

const FileSystemType& extFileSystem() {
    static const FileSystemType type{FileSystem::Ext, probe, makeScanner, nullptr};
    return type;
}

}  // namespace vdrec::fs::ext
