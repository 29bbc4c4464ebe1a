// The ext2/3/4 scan worker: the standard scan from the superblock through the directories.

#include "fs/ext/ext_adapter.h"
#include "fs/ext/ext_volume.h"
#include "results/parser_scan_session.h"

namespace vdrec::results {

namespace {

class ExtScanSession final : public ParserScanSession<fs::ext::ExtVolume, fs::ext::ExtAdapter> {
public:
    ExtScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader, platform::UiSink& sink)
        : ParserScanSession(volume, reader, sink) {}

    // ext has no advanced mode: nothing to anchor.
    size_t findAnchors(int) override { return 0; }
    std::vector<AnchorInfo> anchors() const override { return {}; }

    bool run(ScanMode, const AdvancedChoice&) override {
        parser_.stopRequested = false;
        parser_.attachVolume(slice_, volume_.sizeText);
        // Without a superblock or its group descriptors nothing is listed and nothing is said.
        if (parser_.volumeBytes() != 0 && parser_.findSuperblock() && parser_.loadGroupDescriptors()) {
            parser_.readInodeTables();
            parser_.readDirectories();
            parser_.keepNamedRecords();
            parser_.linkRecords();
            sink_.status("filling root entries in  tree....");
            model_.buildTopLevel();
        }
        model_.afterScan();
        sink_.status(kScanDone);
        sink_.message(kScanDone);
        return true;
    }
};

}  // namespace

std::unique_ptr<ScanSession> makeExtScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader,
                                                platform::UiSink& sink) {
    return std::make_unique<ExtScanSession>(volume, reader, sink);
}

}  // namespace vdrec::results
