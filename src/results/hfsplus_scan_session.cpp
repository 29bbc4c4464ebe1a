// The HFS+ scan worker: the standard scan from the volume header through the catalog.

#include "fs/hfsplus/hfsplus_adapter.h"
#include "fs/hfsplus/hfsplus_volume.h"
#include "results/parser_scan_session.h"

namespace vdrec::results {

namespace {

class HfsPlusScanSession final : public ParserScanSession<fs::hfsplus::HfsPlusVolume, fs::hfsplus::HfsPlusAdapter> {
public:
    HfsPlusScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader, platform::UiSink& sink)
        : ParserScanSession(volume, reader, sink) {
        sink_.status("HFS+ partition selected....");
    }

    // HFS+ has no advanced mode: nothing to anchor.
    size_t findAnchors(int) override { return 0; }
    std::vector<AnchorInfo> anchors() const override { return {}; }

    bool run(ScanMode, const AdvancedChoice&) override {
        parser_.stopRequested = false;
        parser_.attachVolume(reader_, volume_.startSector);
        if (!parser_.readVolumeHeader() || !parser_.readExtentsOverflow() || !parser_.readCatalog()) {
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
};

}  // namespace

std::unique_ptr<ScanSession> makeHfsPlusScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader,
                                                    platform::UiSink& sink) {
    return std::make_unique<HfsPlusScanSession>(volume, reader, sink);
}

}  // namespace vdrec::results
