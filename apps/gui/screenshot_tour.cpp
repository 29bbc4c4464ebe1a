#include "screenshot_tour.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <cstdio>

#include "dialog_host.h"
#include "page_window.h"
#include "image_page.h"
#include "wizard.h"

namespace vdrec::gui {

namespace {

// Every dialog answered without a user: messages are logged, questions get Yes, pickers the
// tour's image or nothing.
class TourDialogs final : public DialogHost {
public:
    explicit TourDialogs(QString image) : image_(std::move(image)) {}
    void message(QWidget*, const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    bool question(QWidget*, const QString& text) override {
        std::fprintf(stderr, "question (Yes): %s\n", qPrintable(text));
        return true;
    }
    std::optional<QString> pickFolder(QWidget*, const QString&) override { return std::nullopt; }
    std::optional<QString> pickFileToOpen(QWidget*, const QString&) override { return image_; }
    std::optional<QString> pickFileToSave(QWidget*, const QString&) override { return std::nullopt; }
    void about(QWidget*, const QString&) override {}
    void openUrl(const QUrl&) override {}

private:
    QString image_;
};

void settle(PageWindow* page) {
    const QDeadlineTimer deadline(120000);
    while (page && page->workerActive() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int k = 0; k < 10; ++k) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

template <typename T>
bool click(PageWindow* page, const char* name) {
    auto* widget = page ? page->findChild<T*>(name) : nullptr;
    if (!widget) {
        std::fprintf(stderr, "tour: no %s on page %s\n", name, page ? qPrintable(page->pageName()) : "(none)");
        return false;
    }
    widget->click();
    return true;
}

}  // namespace

int runScreenshotTour(const QString& folder, const QString& image) {
    TourDialogs dialogs(image);
    Wizard wizard(dialogs, {});
    if (!QDir().mkpath(folder)) return 2;
    if (!wizard.start(QDir::temp().filePath("vdrec-screenshot-tour.lock").toStdString())) return 3;

    int shot = 0;
    const auto grab = [&]() -> bool {
        PageWindow* page = wizard.currentWindow();
        settle(page);
        if (!page) return false;
        const QString file = QDir(folder).filePath(QString("%1-%2.png").arg(++shot).arg(page->pageName()));
        std::fprintf(stderr, "tour: %s\n", qPrintable(file));
        return page->grab().save(file);
    };
    const auto current = [&] { return wizard.currentWindow(); };

    wizard.firstWindow()->resize(760, 560);
    if (!click<QPushButton>(current(), "browse") || !grab()) return 4;
    if (!click<QPushButton>(current(), "next") || !grab()) return 5;
    if (!click<QPushButton>(current(), "next")) return 6;
    settle(current());
    if (auto* volumes = current()->findChild<QTableWidget*>("volumes"); volumes && volumes->rowCount() > 0)
        volumes->setCurrentCell(0, 0);
    if (!grab()) return 6;
    if (!click<QPushButton>(current(), "next") || !grab()) return 7;
    // The anchor search, then back to a standard scan for the results.
    if (!click<QRadioButton>(current(), "advanced") || !click<QPushButton>(current(), "next") || !grab()) return 8;
    if (!click<QPushButton>(current(), "back")) return 9;
    settle(current());
    if (!click<QRadioButton>(current(), "standard") || !click<QPushButton>(current(), "next")) return 9;
    settle(current());
    if (auto* tree = current()->findChild<QTreeWidget*>("tree"); tree && tree->topLevelItemCount() > 0) {
        QTreeWidgetItem* root = tree->topLevelItem(0);
        // The first folder with something in it, a user folder before the volume's own.
        int chosen = -1;
        for (int k = 0; k < root->childCount(); ++k) {
            if (root->child(k)->childCount() == 0) continue;
            if (chosen < 0 || !root->child(k)->text(0).startsWith('$')) chosen = k;
            if (!root->child(k)->text(0).startsWith('$')) break;
        }
        for (int k = chosen; k >= 0; k = -1) {
            // A folder: expanded, and its files listed, as a user would look into it.
            QTreeWidgetItem* folderItem = root->child(k);
            folderItem->setExpanded(true);
            settle(current());
            tree = current()->findChild<QTreeWidget*>("tree");
            root = tree->topLevelItem(0);
            folderItem = root->child(k);
            emit tree->itemClicked(folderItem, 0);
        }
    }
    if (!grab()) return 10;
    return 0;
}

}  // namespace vdrec::gui
