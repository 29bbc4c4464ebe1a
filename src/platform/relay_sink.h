#pragma once

#include <atomic>

#include "platform/ui_sink.h"

namespace vdrec::platform {

// A sink whose target can change: a parser keeps one sink for its life, while the page whose
// worker drives it changes (the anchor page hands its parser to the results page).
class RelaySink final : public UiSink {
public:
    explicit RelaySink(UiSink& target) : target_(&target) {}
    // Set only while no job uses the relay.
    void setTarget(UiSink& target) { target_ = &target; }

    void message(std::string_view text) override { target_.load()->message(text); }
    bool question(std::string_view text) override { return target_.load()->question(text); }
    void status(std::string_view text) override { target_.load()->status(text); }
    void detailStatus(std::string_view text) override { target_.load()->detailStatus(text); }
    void progressRange(int64_t low, int64_t high) override { target_.load()->progressRange(low, high); }
    void progressPosition(int64_t position) override { target_.load()->progressPosition(position); }
    std::optional<std::string> pickFolder(std::string_view title) override { return target_.load()->pickFolder(title); }

private:
    std::atomic<UiSink*> target_;
};

}  // namespace vdrec::platform
