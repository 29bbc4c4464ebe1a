#include "page_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include "dialog_host.h"
#include "help_pages.h"
#include "platform/worker.h"
#include "wizard.h"

namespace vdrec::gui {

PageWindow::PageWindow(Wizard& wizard, PageWindow* parentPage, const QString& pageName)
    : wizard_(wizard), parentPage_(parentPage), pageName_(pageName) {
    setWindowTitle(applicationTitle());
    setObjectName(pageName);
    // Worker page calls are applied as soon as possible; the job waits for each of them.
    poll_.setInterval(2);
    poll_.setTimerType(Qt::PreciseTimer);
    connect(&poll_, &QTimer::timeout, this, [this] { wake(); });
}

PageWindow::~PageWindow() = default;

QtSink& PageWindow::sink() { return wizard_.sink(); }

void PageWindow::present() {
    sink().attach({this, status_, detail_, progress_});
    wizard_.setCurrent(this);
    refresh();
    show();
    raise();
    activateWindow();
}

void PageWindow::escapePressed() {
    if (confirmClose()) wizard_.endApplication();
}

QLabel* PageWindow::statusLine() {
    if (!status_) {
        status_ = new QLabel(this);
        status_->setObjectName("status");
        status_->setWordWrap(true);
        status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    return status_;
}

QLabel* PageWindow::detailLine() {
    if (!detail_) {
        detail_ = new QLabel(this);
        detail_->setObjectName("detailStatus");
        detail_->setWordWrap(true);
    }
    return detail_;
}

QProgressBar* PageWindow::progressBar() {
    if (!progress_) {
        progress_ = new QProgressBar(this);
        progress_->setObjectName("progress");
        progress_->setTextVisible(true);
    }
    return progress_;
}

QPushButton* PageWindow::helpButton() {
    if (!help_) help_ = makeHelpButton(this, wizard_.dialogs());
    return help_;
}

void PageWindow::watchWorker(platform::Worker& worker, bool busy) {
    if (!busy) {
        QPointer<PageWindow> page(this);
        worker.setWakeUp([page] {
            QMetaObject::invokeMethod(
                qApp, [page] { if (page) page->wake(); }, Qt::QueuedConnection);
        });
    }
    if (busy && !poll_.isActive()) poll_.start();
    if (!busy) poll_.stop();
}

void PageWindow::wake() {
    // A page call may open a message box whose event loop fires the timer again: the job
    // waits in that call, so there is nothing more to apply until it returns.
    if (left_ || pumping_) return;
    pumping_ = true;
    pumpWorker();
    pumping_ = false;
    if (!left_) refresh();
}

QtSink::Attachment PageWindow::beginNext() { return sink().detach(); }

void PageWindow::cancelNext(const QtSink::Attachment& previous) {
    sink().restore(previous);
    refresh();
}

void PageWindow::openChild(std::unique_ptr<PageWindow> child) {
    child_ = std::move(child);
    // Each page opens where and as large as the one before, unless it asked for more room.
    if (!child_->testAttribute(Qt::WA_Resized)) child_->resize(child_->sizeHint().expandedTo(size()));
    child_->move(pos());
    child_->present();
    hide();
}

void PageWindow::leaveToParent() {
    left_ = true;
    poll_.stop();
    hide();
    if (parentPage_) parentPage_->childReturned();
}

void PageWindow::childReturned() {
    // The child window is inside its own Back handler: it goes once that has returned.
    if (child_) {
        move(child_->pos());
        child_.release()->deleteLater();
    }
    present();
}

void PageWindow::closeEvent(QCloseEvent* event) {
    if (wizard_.ending()) {
        event->accept();
        return;
    }
    event->ignore();
    if (confirmClose()) wizard_.endApplication();
}

void PageWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enterPressed();
        return;
    case Qt::Key_Escape:
        escapePressed();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

QPushButton* PageWindow::namedButton(const char* text, const char* objectName) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(objectName);
    return button;
}

QHBoxLayout* PageWindow::wizardButtons(QPushButton* left, QPushButton* right) {
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(helpButton());
    buttons->addStretch();
    buttons->addWidget(left);
    buttons->addWidget(right);
    return buttons;
}

PageWindow::RunControls PageWindow::runControls() {
    RunControls controls{new QHBoxLayout, namedButton("Pause", "pause"), namedButton("Resume", "resume"),
                         namedButton("Stop", "stop")};
    controls.row->addWidget(progressBar(), 1);
    for (QPushButton* button : {controls.pause, controls.resume, controls.stop}) {
        button->setToolTip(button->text());
        keepRoomWhenHidden(button);
        controls.row->addWidget(button);
    }
    keepRoomWhenHidden(progressBar());
    return controls;
}

void keepRoomWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

}  // namespace vdrec::gui
