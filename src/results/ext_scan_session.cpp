// The ext2/3/4 scan worker: the standard scan from the superblock through the directories.

#include "fs/ext/ext_adapter.h"
#include "fs/ext/ext_volume.h"
#include "platform/relay_sink.h"
#include "results/scan_session.h"

namespace vdrec::results {

namespace {

constexpr std::string_view kScanDone = "Scanning processing done.Select save button to save the data.";

class ExtScanSession final : public ScanSession {
public:
    ExtScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader, platform::UiSink& sink)
        : volume_(volume), reader_(reader), sink_(sink), parser_(sink_), adapter_(parser_), model_(adapter_) {}

    // ext has no advanced mode: nothing to anchor.
    size_t findAnchors(int) override { return 0; }
    std::vector<AnchorInfo> anchors() const override { return {}; }

    bool run(ScanMode, const AdvancedChoice&) override {
        parser_.stopRequested = false;
        parser_.attachVolume(reader_, volume_.startSector, volume_.sizeText);
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

    void requestStop() override { parser_.stopRequested = true; }
    void setSink(platform::UiSink& sink) override { sink_.setTarget(sink); }
    fs::FileSystemAdapter& adapter() override { return adapter_; }
    ResultsModel& model() override { return model_; }

private:
    volumes::VolumeEntry volume_;
    image::ImageReader& reader_;
    platform::RelaySink sink_;
    fs::ext::ExtVolume parser_;
    fs::ext::ExtAdapter adapter_;
    ResultsModel model_;
};

}  // namespace

std::unique_ptr<ScanSession> makeExtScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader,
                                                platform::UiSink& sink) {
    return std::make_unique<ExtScanSession>(volume, reader, sink);
}

}  // namespace vdrec::results
