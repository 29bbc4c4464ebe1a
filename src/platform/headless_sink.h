#pragma once

#include <cstdio>

#include "platform/ui_sink.h"

namespace vdrec::platform {

// The command line's sink: messages become "vdrec: " lines on stderr; status and progress are
// drawn on stderr only when it is a terminal, so piped output stays clean.
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

    int messagesShown() const { return messagesShown_; }
    void setFolderAnswer(std::string folder) { folderAnswer_ = std::move(folder); }

private:
    void redraw();
    void clearLine();

    std::FILE* err_;
    bool interactive_;
    int messagesShown_ = 0;
    std::string status_;
    int64_t low_ = 0, high_ = 0, position_ = 0;
    bool lineDrawn_ = false;
    std::optional<std::string> folderAnswer_;
};

}  // namespace vdrec::platform
