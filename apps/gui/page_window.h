#pragma once
// What every wizard page window shares: the title, the Help menu, the close question, Enter
// and Escape, the status line and progress bar the sink reports to, the chain of page windows
// (Next opens a child over the controller's child, Back returns to the parent), and pumping
// the controller's worker on the GUI thread.

#include <QHBoxLayout>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "qt_sink.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vdrec::platform {
class Worker;
}

namespace vdrec::gui {

class Wizard;

// Hidden controls keep their room, so a page does not jump when progress controls come and go.
void keepRoomWhenHidden(QWidget* widget);

class PageWindow : public QWidget {
    Q_OBJECT
public:
    PageWindow(Wizard& wizard, PageWindow* parentPage, const QString& pageName);
    ~PageWindow() override;

    // Makes this the page the user sees: the sink reports here, the window shows.
    void present();
    // Reads the controller's state into the widgets.
    virtual void refresh() = 0;
    // A worker of the controller runs, or its end has not reached the page yet.
    virtual bool workerActive() const { return false; }

    PageWindow* childPage() const { return child_.get(); }
    const QString& pageName() const { return pageName_; }

protected:
    Wizard& wizard() { return wizard_; }
    QtSink& sink();

    // The controller's close(): true when the user confirmed.
    virtual bool confirmClose() = 0;
    virtual void enterPressed() {}
    virtual void escapePressed();
    virtual size_t pumpWorker() { return 0; }

    // Shared controls, created on first use.
    QLabel* statusLine();
    QLabel* detailLine();
    QProgressBar* progressBar();
    QPushButton* helpButton();
    // A push button with the object name the tests find it by.
    QPushButton* namedButton(const char* text, const char* objectName);
    // The row every page ends with: Help on the left, `left` and `right` (Back and Next) on the right.
    QHBoxLayout* wizardButtons(QPushButton* left, QPushButton* right);
    // The progress bar with Pause, Resume and Stop beside it; they keep their room when hidden.
    struct RunControls {
        QHBoxLayout* row;
        QPushButton* pause;
        QPushButton* resume;
        QPushButton* stop;
    };
    RunControls runControls();
    // Asks `worker` to wake this page when its job queues a page call (taken only while no job
    // runs), and polls while `busy` holds, for jobs started before the window existed.
    void watchWorker(platform::Worker& worker, bool busy);

    // Next: reports made while the controller builds its next page are kept for the new window.
    QtSink::Attachment beginNext();
    void cancelNext(const QtSink::Attachment& previous);
    void openChild(std::unique_ptr<PageWindow> child);
    // Back succeeded: the controller of this window is gone (its parent controller destroyed it);
    // the parent shows again.
    void leaveToParent();

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void wake();
    void childReturned();

    Wizard& wizard_;
    PageWindow* parentPage_;
    QString pageName_;
    std::unique_ptr<PageWindow> child_;
    QLabel* status_ = nullptr;
    QLabel* detail_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* help_ = nullptr;
    QTimer poll_;
    bool pumping_ = false;
    bool left_ = false;
};

}  // namespace vdrec::gui
