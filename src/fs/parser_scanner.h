#pragma once
// What every file system's scanner holds and answers alike: the volume, the relay to the page's
// sink, the parser and its adapter. Each file system adds its own worker steps on top.

#include <utility>

#include "fs/scanner.h"
#include "platform/relay_sink.h"
#include "platform/text_format.h"

namespace vdrec::fs {

template <typename Parser, typename Adapter>
class ParserScanner : public Scanner {
public:
    void requestStop() override { parser_.stopRequested = true; }
    void setSink(platform::UiSink& sink) override { sink_.setTarget(sink); }
    FileSystemAdapter& adapter() override { return adapter_; }

protected:
    // The parser is made from `parserArgs` followed by this scanner's relay, its sink.
    template <typename... ParserArgs>
    ParserScanner(const ScanTarget& target, platform::UiSink& sink, ParserArgs&&... parserArgs)
        : target_(target), sink_(sink), parser_(std::forward<ParserArgs>(parserArgs)..., sink_), adapter_(parser_) {}

    // The root items, with the status the FAT family shows for each.
    void buildRootItems(ScanResults& results) {
        for (int64_t index : parser_.rootLevel())
            sink_.status(platform::format("filling entry =%lld in tree ", static_cast<long long>(index)));
        results.buildTopLevel();
    }

    ScanTarget target_;
    platform::RelaySink sink_;
    Parser parser_;
    Adapter adapter_;
};

}  // namespace vdrec::fs
