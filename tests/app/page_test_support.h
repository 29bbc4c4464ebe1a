#pragma once
// A scripted sink for page tests. It also counts every call that did not arrive on the thread
// that made it: what the user sees is the page thread's alone.

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ui_sink.h"

namespace vdrec::test {

class PageSink final : public platform::UiSink {
public:
    void message(std::string_view text) override { note(messages_, text); }
    bool question(std::string_view text) override {
        note(questions_, text);
        std::lock_guard lock(mutex_);
        return answer_;
    }
    void status(std::string_view text) override { note(statuses_, text); }
    void progressRange(int64_t low, int64_t high) override {
        note(ranges_, std::to_string(low) + ".." + std::to_string(high));
    }
    void progressPosition(int64_t position) override { note(positions_, std::to_string(position)); }
    std::optional<std::string> pickFolder(std::string_view title) override {
        note(folderTitles_, title);
        std::lock_guard lock(mutex_);
        if (folders_.empty()) return std::nullopt;
        auto folder = folders_.front();
        folders_.pop_front();
        return folder;
    }

    void answerQuestions(bool yes) { std::lock_guard lock(mutex_); answer_ = yes; }
    void answerFolder(std::optional<std::string> folder) { std::lock_guard lock(mutex_); folders_.push_back(std::move(folder)); }
    // Forgets what was shown so far; the script stays.
    void clear() {
        std::lock_guard lock(mutex_);
        messages_.clear(), questions_.clear(), statuses_.clear(), ranges_.clear(), positions_.clear(), folderTitles_.clear();
    }

    std::vector<std::string> messages() const { std::lock_guard lock(mutex_); return messages_; }
    std::vector<std::string> questions() const { std::lock_guard lock(mutex_); return questions_; }
    std::vector<std::string> statuses() const { std::lock_guard lock(mutex_); return statuses_; }
    std::vector<std::string> folderTitles() const { std::lock_guard lock(mutex_); return folderTitles_; }
    std::string lastStatus() const {
        std::lock_guard lock(mutex_);
        return statuses_.empty() ? std::string() : statuses_.back();
    }
    bool sawStatus(std::string_view text) const {
        std::lock_guard lock(mutex_);
        for (const auto& s : statuses_)
            if (s == text) return true;
        return false;
    }
    int callsOffPageThread() const { return offPageThread_; }

private:
    void note(std::vector<std::string>& into, std::string_view text) {
        if (std::this_thread::get_id() != pageThread_) ++offPageThread_;
        std::lock_guard lock(mutex_);
        into.emplace_back(text);
    }

    const std::thread::id pageThread_ = std::this_thread::get_id();
    std::atomic<int> offPageThread_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> messages_, questions_, statuses_, ranges_, positions_, folderTitles_;
    bool answer_ = true;
    std::deque<std::optional<std::string>> folders_;
};

}  // namespace vdrec::test
