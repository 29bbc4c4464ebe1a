#include "platform/recording_sink.h"

namespace vdrec::platform {

void RecordingSink::message(std::string_view text) {
    std::lock_guard lock(mutex_);
    messages_.emplace_back(text);
}

bool RecordingSink::question(std::string_view text) {
    std::lock_guard lock(mutex_);
    questions_.emplace_back(text);
    return questionAnswer_;
}

void RecordingSink::status(std::string_view text) {
    std::lock_guard lock(mutex_);
    statuses_.emplace_back(text);
}

void RecordingSink::progressRange(int64_t low, int64_t high) {
    std::lock_guard lock(mutex_);
    low_ = low;
    high_ = high;
}

void RecordingSink::progressPosition(int64_t position) {
    std::lock_guard lock(mutex_);
    positions_.push_back(position);
}

std::optional<std::string> RecordingSink::pickFolder(std::string_view) {
    std::lock_guard lock(mutex_);
    if (folderAnswers_.empty()) return std::nullopt;
    auto answer = folderAnswers_.front();
    folderAnswers_.pop_front();
    return answer;
}

std::string RecordingSink::lastStatus() const {
    std::lock_guard lock(mutex_);
    return statuses_.empty() ? std::string() : statuses_.back();
}

}  // namespace vdrec::platform
