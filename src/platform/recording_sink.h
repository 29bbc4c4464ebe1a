#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui_sink.h"

namespace vdrec::platform {

// A sink for tests: records what the user would have seen and answers from a script.
// Thread-safe, since workers report from their own thread.
class RecordingSink final : public UiSink {
public:
    void message(std::string_view text) override;
    bool question(std::string_view text) override;
    void status(std::string_view text) override;
    void progressRange(int64_t low, int64_t high) override;
    void progressPosition(int64_t position) override;
    std::optional<std::string> pickFolder(std::string_view title) override;

    void answerQuestions(bool yes) { std::lock_guard lock(mutex_); questionAnswer_ = yes; }
    void answerFolder(std::optional<std::string> folder) { std::lock_guard lock(mutex_); folderAnswers_.push_back(std::move(folder)); }

    std::vector<std::string> messages() const { std::lock_guard lock(mutex_); return messages_; }
    std::vector<std::string> questions() const { std::lock_guard lock(mutex_); return questions_; }
    std::vector<std::string> statuses() const { std::lock_guard lock(mutex_); return statuses_; }
    std::string lastStatus() const;
    std::vector<int64_t> positions() const { std::lock_guard lock(mutex_); return positions_; }
    std::pair<int64_t, int64_t> range() const { std::lock_guard lock(mutex_); return {low_, high_}; }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_, questions_, statuses_;
    std::vector<int64_t> positions_;
    int64_t low_ = 0, high_ = 0;
    bool questionAnswer_ = true;
    std::deque<std::optional<std::string>> folderAnswers_;
};

}  // namespace vdrec::platform
