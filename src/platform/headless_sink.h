#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui_sink.h"

namespace vdrec::platform {

// The command line's sink. Messages are kept until the command ends: a failure prints only the
// first one (the cause), as a single "vdrec: " line; a success prints them all. Status and
// progress are drawn on stderr only when it is a terminal, so piped output stays clean.
class HeadlessSink final : public UiSink {
public:
    explicit HeadlessSink(std::FILE* err = stderr);
    ~HeadlessSink() override;

    void message(std::string_view text) override;
    bool question(std::string_view text) override;
    void status(std::string_view text) override;
    void progressRange(int64_t low, int64_t high) override;
    void progressPosition(int64_t position) override;
    std::optional<std::string> pickFolder(std::string_view title) override;

    const std::vector<std::string>& messages() const { return messages_; }
    // Forgets the kept messages (informational ones of a step that succeeded).
    void forgetMessages() {
        std::lock_guard lock(messagesLock_);
        messages_.clear();
    }
    // Writes each kept message as a "vdrec: " line and forgets them.
    void printMessages();
    // Writes the first kept message, or `fallback` when there is none.
    void printFailure(std::string_view fallback);
    void setFolderAnswer(std::string folder) { folderAnswer_ = std::move(folder); }

private:
    void redraw();
    void clearLine();

    std::FILE* err_;
    bool interactive_;
    std::mutex messagesLock_;  // copies on helper threads may report failures
    std::vector<std::string> messages_;
    std::string status_;
    int64_t low_ = 0, high_ = 0, position_ = 0;
    bool lineDrawn_ = false;
    std::optional<std::string> folderAnswer_;
};

}  // namespace vdrec::platform
