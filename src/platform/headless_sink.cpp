#include "platform/headless_sink.h"

#include <unistd.h>

#include <algorithm>

namespace vdrec::platform {

HeadlessSink::HeadlessSink(std::FILE* err) : err_(err), interactive_(::isatty(::fileno(err)) == 1) {}

HeadlessSink::~HeadlessSink() { clearLine(); }

void HeadlessSink::clearLine() {
    if (!lineDrawn_) return;
    std::fputs("\r\033[K", err_);
    lineDrawn_ = false;
}

void HeadlessSink::redraw() {
    if (!interactive_) return;
    std::fputs("\r\033[K", err_);
    if (high_ > low_) {
        const double share = static_cast<double>(position_ - low_) / static_cast<double>(high_ - low_);
        std::fprintf(err_, "[%3d%%] ", static_cast<int>(share * 100.0));
    }
    std::fprintf(err_, "%.*s", static_cast<int>(std::min<size_t>(status_.size(), 100)), status_.c_str());
    std::fflush(err_);
    lineDrawn_ = true;
}

void HeadlessSink::message(std::string_view text) {
    std::lock_guard lock(messagesLock_);
    messages_.emplace_back(text);
}

void HeadlessSink::printMessages() {
    std::lock_guard lock(messagesLock_);
    clearLine();
    for (const auto& text : messages_) std::fprintf(err_, "vdrec: %s\n", text.c_str());
    messages_.clear();
    std::fflush(err_);
}

void HeadlessSink::printFailure(std::string_view fallback) {
    std::lock_guard lock(messagesLock_);
    clearLine();
    const std::string text = messages_.empty() ? std::string(fallback) : messages_.front();
    std::fprintf(err_, "vdrec: %s\n", text.c_str());
    messages_.clear();
    std::fflush(err_);
}

bool HeadlessSink::question(std::string_view) { return true; }

void HeadlessSink::status(std::string_view text) {
    status_ = text;
    redraw();
}

void HeadlessSink::progressRange(int64_t low, int64_t high) {
    low_ = low;
    high_ = high;
    position_ = low;
}

void HeadlessSink::progressPosition(int64_t position) {
    position_ = position;
    redraw();
}

std::optional<std::string> HeadlessSink::pickFolder(std::string_view) { return folderAnswer_; }

}  // namespace vdrec::platform
