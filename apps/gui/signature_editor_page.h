#pragma once
// The signature editor ("Setting"): a modal dialog over the controller in
// src/app/pages/signature_editor_page.h. Each field has a help button whose tooltip explains it.

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace vdrec::app {
class SignatureEditorPage;
}

namespace vdrec::gui {

class DialogHost;

class SignatureEditorPage final : public QDialog {
    Q_OBJECT
public:
    SignatureEditorPage(DialogHost& dialogs, QWidget* parent, app::SignatureEditorPage& controller);

private:
    // The form's texts into the controller, before Save reads them.
    void takeForm();
    void chooseFile();

    DialogHost& dialogs_;
    app::SignatureEditorPage& controller_;
    QLineEdit* extension_;
    QLineEdit* startSignature_;
    QLineEdit* startOffset_;
    QLineEdit* endSignature_;
    QLineEdit* sizeOffset_;
    QLineEdit* sizeWidth_;
    QCheckBox* includesHeader_;
    QLineEdit* headerSize_;
    QLineEdit* skipSize_;
    QLineEdit* approximateSize_;
    QLineEdit* category_;
    QLineEdit* path_;
};

}  // namespace vdrec::gui
