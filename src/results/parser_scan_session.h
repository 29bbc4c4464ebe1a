#pragma once
// What every file system's scan session holds and answers alike: the volume, the reader, the
// relay to the page's sink, the parser, its adapter and the results model over it. Each file
// system adds its own worker steps (run, the anchor search) on top.

#include <string_view>
#include <utility>

#include "image/image_reader.h"
#include "platform/relay_sink.h"
#include "platform/text_format.h"
#include "results/scan_session.h"

namespace vdrec::results {

inline constexpr std::string_view kScanDone = "Scanning processing done.Select save button to save the data.";

// From `startSector` to the end of the disk; nothing for a start outside it.
inline image::DeviceSlice volumeSlice(const image::BlockDevice& disk, int64_t startSector) {
    if (startSector < 0 || static_cast<uint64_t>(startSector) > UINT64_MAX / image::kSectorSize) return {};
    return image::DeviceSlice::toEnd(disk, static_cast<uint64_t>(startSector) * image::kSectorSize);
}

template <typename Parser, typename Adapter>
class ParserScanSession : public ScanSession {
public:
    void requestStop() override { parser_.stopRequested = true; }
    void setSink(platform::UiSink& sink) override { sink_.setTarget(sink); }
    fs::FileSystemAdapter& adapter() override { return adapter_; }
    ResultsModel& model() override { return model_; }

protected:
    // The parser is made from `parserArgs` followed by this session's relay, its sink.
    template <typename... ParserArgs>
    ParserScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader, platform::UiSink& sink,
                      ParserArgs&&... parserArgs)
        : volume_(volume),
          reader_(reader),
          slice_(volumeSlice(reader, volume.startSector)),
          sink_(sink),
          parser_(std::forward<ParserArgs>(parserArgs)..., sink_),
          adapter_(parser_),
          model_(adapter_) {}

    // The root items, with the status the FAT family shows for each.
    void buildRootItems() {
        for (int64_t index : parser_.rootLevel())
            sink_.status(platform::format("filling entry =%lld in tree ", static_cast<long long>(index)));
        model_.buildTopLevel();
    }

    volumes::VolumeEntry volume_;
    image::ImageReader& reader_;
    // The parser's view of its volume: from its first sector to the end of the disk.
    image::DeviceSlice slice_;
    platform::RelaySink sink_;
    Parser parser_;
    Adapter adapter_;
    ResultsModel model_;
};

}  // namespace vdrec::results
