#include "dialog_host.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/ui_sink.h"

namespace vdrec::gui {

QString applicationTitle() {
    return QString::fromUtf8(platform::kApplicationTitle.data(), static_cast<qsizetype>(platform::kApplicationTitle.size()));
}

void WidgetDialogs::message(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Information, applicationTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool WidgetDialogs::question(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, applicationTitle(), text, QMessageBox::Yes | QMessageBox::No, parent);
    // No is the safe answer to every question the pages ask (close, stop, dump many files).
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetDialogs::pickFolder(QWidget* parent, const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(parent, title);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

std::optional<QString> WidgetDialogs::pickFileToOpen(QWidget* parent, const QString& filters) {
    const QString file = QFileDialog::getOpenFileName(parent, applicationTitle(), QString(), filters);
    if (file.isEmpty()) return std::nullopt;
    return file;
}

std::optional<QString> WidgetDialogs::pickFileToSave(QWidget* parent, const QString& filters) {
    const QString file = QFileDialog::getSaveFileName(parent, applicationTitle(), QString(), filters);
    if (file.isEmpty()) return std::nullopt;
    return file;
}

void WidgetDialogs::about(QWidget* parent, const QString& text) { QMessageBox::about(parent, applicationTitle(), text); }

void WidgetDialogs::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace vdrec::gui
