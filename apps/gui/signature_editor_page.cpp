#include "signature_editor_page.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolTip>
#include <QVBoxLayout>

#include "app/pages/signature_editor_page.h"
#include "dialog_host.h"
#include "text.h"

namespace vdrec::gui {

namespace {

const QString kSignatureFileFilters = "Text Files (*.txt);;All Files (*)";

// A field with its help button; the tooltip is shown again when the button is clicked.
QWidget* withHelp(QWidget* field, app::SignatureField which, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    auto* help = new QPushButton("?", row);
    help->setFixedWidth(28);
    const QString text = qt(app::fieldHelp(which));
    help->setToolTip(text);
    QObject::connect(help, &QPushButton::clicked, help, [help, text] {
        help->setToolTip(text);
        QToolTip::showText(help->mapToGlobal(help->rect().bottomLeft()), text, help);
    });
    layout->addWidget(help);
    return row;
}

}  // namespace

SignatureEditorPage::SignatureEditorPage(DialogHost& dialogs, QWidget* parent, app::SignatureEditorPage& controller)
    : QDialog(parent), dialogs_(dialogs), controller_(controller) {
    setWindowTitle(qt(controller_.title));
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    const auto field = [&](const char* name, bool numeric) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        if (numeric) edit->setValidator(digits);
        return edit;
    };
    extension_ = field("extension", false);
    startSignature_ = field("startSignature", false);
    startOffset_ = field("startOffset", true);
    endSignature_ = field("endSignature", false);
    sizeOffset_ = field("sizeFieldOffset", true);
    sizeWidth_ = field("sizeFieldWidth", true);
    includesHeader_ = new QCheckBox(qt(app::fieldLabel(app::SignatureField::SizeIncludesHeader)), this);
    includesHeader_->setObjectName("sizeIncludesHeader");
    headerSize_ = field("headerSize", true);
    skipSize_ = field("skipSize", true);
    approximateSize_ = field("approximateSize", true);
    category_ = field("category", false);

    auto* settings = new QGroupBox("File Setting:", this);
    auto* form = new QFormLayout(settings);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const auto row = [&](QWidget* edit, app::SignatureField which) {
        form->addRow(qt(app::fieldLabel(which)), withHelp(edit, which, settings));
    };
    row(extension_, app::SignatureField::Extension);
    row(startSignature_, app::SignatureField::StartSignature);
    row(startOffset_, app::SignatureField::StartOffset);
    row(endSignature_, app::SignatureField::EndSignature);
    row(sizeOffset_, app::SignatureField::SizeFieldOffset);
    row(sizeWidth_, app::SignatureField::SizeFieldWidth);
    form->addRow(QString(), withHelp(includesHeader_, app::SignatureField::SizeIncludesHeader, settings));
    row(headerSize_, app::SignatureField::HeaderSize);
    row(skipSize_, app::SignatureField::SkipSize);
    row(approximateSize_, app::SignatureField::ApproximateSize);
    row(category_, app::SignatureField::Category);

    auto* target = new QGroupBox("Select Path to Save Entries", this);
    path_ = new QLineEdit(target);
    path_->setObjectName("signatureFile");
    path_->setReadOnly(true);
    auto* browse = new QPushButton("...", target);
    browse->setObjectName("browse");
    auto* pathRow = new QHBoxLayout(target);
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse);

    auto* save = new QPushButton("Save", this);
    save->setObjectName("save");
    auto* ok = new QPushButton("OK", this);
    auto* cancel = new QPushButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* page = new QVBoxLayout(this);
    page->addWidget(settings);
    page->addWidget(target);
    page->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, &SignatureEditorPage::chooseFile);
    connect(save, &QPushButton::clicked, this, [this] {
        takeForm();
        controller_.save();
    });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void SignatureEditorPage::takeForm() {
    raw::SignatureForm& form = controller_.form;
    form.extension = utf8(extension_->text());
    form.startSignature = utf8(startSignature_->text());
    form.startOffset = utf8(startOffset_->text());
    form.endSignature = utf8(endSignature_->text());
    form.sizeFieldOffset = utf8(sizeOffset_->text());
    form.sizeFieldWidth = utf8(sizeWidth_->text());
    form.sizeIncludesHeader = includesHeader_->isChecked();
    form.headerSize = utf8(headerSize_->text());
    form.skipSize = utf8(skipSize_->text());
    form.approximateSize = utf8(approximateSize_->text());
    form.category = utf8(category_->text());
}

void SignatureEditorPage::chooseFile() {
    const auto chosen = dialogs_.pickFileToSave(this, kSignatureFileFilters);
    controller_.fileChosen(chosen ? std::optional<std::string>(utf8(*chosen)) : std::nullopt);
    path_->setText(qt(controller_.filePath));
}

}  // namespace vdrec::gui
