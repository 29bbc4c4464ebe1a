#pragma once
// The desktop sink. One sink serves the whole page chain (each controller hands it to the pages
// it creates), so status and progress go to whichever page window is attached: the page the
// user sees. Between a Next and the new window's attach, what the new page reports is kept and
// shown once it attaches.

#include <QPointer>
#include <cstdint>
#include <string>

#include "platform/ui_sink.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace vdrec::gui {

class DialogHost;

struct StatusTarget {
    QPointer<QWidget> window;  // the parent of message boxes
    QPointer<QLabel> status;
    QPointer<QLabel> detail;
    QPointer<QProgressBar> progress;
};

class QtSink final : public platform::UiSink {
public:
    explicit QtSink(DialogHost& dialogs) : dialogs_(dialogs) {}

    void message(std::string_view text) override;
    bool question(std::string_view text) override;
    void status(std::string_view text) override;
    void detailStatus(std::string_view text) override;
    void progressRange(int64_t low, int64_t high) override;
    void progressPosition(int64_t position) override;
    std::optional<std::string> pickFolder(std::string_view title) override;

    // Shows what was kept and reports to `target` from now on.
    void attach(const StatusTarget& target);
    struct Attachment {
        StatusTarget target;
        std::string status, detail;
        int64_t low = 0, high = 100, position = 0;
    };
    // Reports are kept, starting empty, until the next attach or restore.
    Attachment detach();
    // Back to the page that was attached, as it was (a Next that refused).
    void restore(const Attachment& attachment);
    // Once the user confirmed closing: the pages tear down without raising dialogs.
    void setQuiet(bool quiet) { quiet_ = quiet; }

private:
    void applyProgress();

    DialogHost& dialogs_;
    StatusTarget target_;
    bool quiet_ = false;
    std::string status_, detail_;
    int64_t low_ = 0, high_ = 100, position_ = 0;
};

}  // namespace vdrec::gui
