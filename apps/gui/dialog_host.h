#pragma once
// Everything the wizard asks of the user through modal dialogs, behind one interface: the
// program shows real dialogs, the end-to-end test and the screenshot tour answer from a script.

#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

namespace vdrec::gui {

class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual void message(QWidget* parent, const QString& text) = 0;
    virtual bool question(QWidget* parent, const QString& text) = 0;
    virtual std::optional<QString> pickFolder(QWidget* parent, const QString& title) = 0;
    // A "..." button's file to read; `filters` in the file dialog's ";;" form.
    virtual std::optional<QString> pickFileToOpen(QWidget* parent, const QString& filters) = 0;
    // A file to write, with confirmation before an existing one is replaced.
    virtual std::optional<QString> pickFileToSave(QWidget* parent, const QString& filters) = 0;
    virtual void about(QWidget* parent, const QString& text) = 0;
    virtual void openUrl(const QUrl& url) = 0;
};

// The real dialogs: message boxes captioned with the application title.
class WidgetDialogs final : public DialogHost {
public:
    void message(QWidget* parent, const QString& text) override;
    bool question(QWidget* parent, const QString& text) override;
    std::optional<QString> pickFolder(QWidget* parent, const QString& title) override;
    std::optional<QString> pickFileToOpen(QWidget* parent, const QString& filters) override;
    std::optional<QString> pickFileToSave(QWidget* parent, const QString& filters) override;
    void about(QWidget* parent, const QString& text) override;
    void openUrl(const QUrl& url) override;
};

QString applicationTitle();

}  // namespace vdrec::gui
