#include "image_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/pages/scan_mode_page.h"
#include "app/pages/image_page.h"
#include "dialog_host.h"
#include "scan_mode_page.h"
#include "text.h"
#include "wizard.h"

namespace vdrec::gui {

namespace {

QString imageFileFilters(std::span<const app::FileFilter> offered) {
    QStringList filters;
    for (const auto& filter : offered) {
        // The dialog's own syntax: "*" matches every file, as "*.*" does elsewhere.
        filters << qt(filter.label).replace("(*.*)", "(*)");
    }
    return filters.join(";;");
}

QLabel* valueLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(160);
    return label;
}

}  // namespace

ImagePage::ImagePage(Wizard& wizard, app::ImagePage& controller)
    : PageWindow(wizard, nullptr, "first"), controller_(controller) {
    auto* kind = new QGroupBox(this);
    dynamic_ = new QRadioButton("Dynamic Disk", kind);
    dynamic_->setObjectName("dynamicDisk");
    fixed_ = new QRadioButton("Fixed Disk", kind);
    fixed_->setObjectName("fixedDisk");
    auto* kindRow = new QHBoxLayout(kind);
    kindRow->addWidget(dynamic_);
    kindRow->addWidget(fixed_);
    kindRow->addStretch();

    auto* file = new QGroupBox("File Path:", this);
    path_ = new QLineEdit(file);
    path_->setObjectName("path");
    path_->setReadOnly(true);
    path_->setMinimumWidth(420);
    browse_ = new QPushButton("...", file);
    browse_->setObjectName("browse");
    browse_->setFixedWidth(40);
    auto* fileRow = new QHBoxLayout(file);
    fileRow->addWidget(path_, 1);
    fileRow->addWidget(browse_);

    auto* info = new QGroupBox("File Information:", this);
    facts_ = new QFormLayout(info);
    facts_->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    version_ = valueLabel(info, "fileFormatVersion");
    sectors_ = valueLabel(info, "sectorsPerTrack");
    heads_ = valueLabel(info, "heads");
    cylinders_ = valueLabel(info, "cylinders");
    diskSize_ = new QLineEdit(info);
    diskSize_->setObjectName("diskSize");
    diskSize_->setMaximumWidth(160);
    diskSizeRow_ = new QWidget(info);
    auto* sizeRow = new QHBoxLayout(diskSizeRow_);
    sizeRow->setContentsMargins(0, 0, 0, 0);
    sizeRow->addWidget(diskSize_);
    sizeRow->addWidget(new QLabel("MB", diskSizeRow_));
    sizeRow->addStretch();
    tableEntries_ = new QLineEdit(info);
    tableEntries_->setObjectName("tableEntries");
    tableEntries_->setMaximumWidth(160);
    // Holds the frame's height while the facts are hidden, so the page does not jump.
    noFile_ = new QLabel(info);
    noFile_->setMinimumHeight(150);
    facts_->addRow(noFile_);
    facts_->addRow("File Format Version:", version_);
    facts_->addRow("Sector per track:", sectors_);
    facts_->addRow("Head:", heads_);
    facts_->addRow("Cylinder:", cylinders_);
    facts_->addRow("Size of HDD:", diskSizeRow_);
    facts_->addRow("MAXIMUM TABLE ENTRIES:", tableEntries_);

    next_ = new QPushButton("Next", this);
    next_->setObjectName("next");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(helpButton());
    buttons->addStretch();
    buttons->addWidget(next_);

    auto* page = new QVBoxLayout(this);
    page->addWidget(kind);
    page->addWidget(file);
    page->addWidget(info);
    page->addStretch();
    page->addLayout(buttons);

    connect(dynamic_, &QRadioButton::clicked, this, [this] {
        controller_.selectDynamic();
        refresh();
    });
    connect(fixed_, &QRadioButton::clicked, this, [this] {
        controller_.selectFixed();
        refresh();
    });
    connect(browse_, &QPushButton::clicked, this, &ImagePage::chooseFile);
    connect(next_, &QPushButton::clicked, this, &ImagePage::next);
    connect(diskSize_, &QLineEdit::textEdited, this,
            [this](const QString& text) { edited(diskSize_, controller_.setDiskSize(utf8(text)), controller_.diskSizeText); });
    connect(tableEntries_, &QLineEdit::textEdited, this, [this](const QString& text) {
        edited(tableEntries_, controller_.setTableEntries(utf8(text)), controller_.tableEntriesText);
    });
    refresh();
}

void ImagePage::edited(QLineEdit* field, bool accepted, const std::string& current) {
    if (accepted) return;
    const int cursor = std::max(0, field->cursorPosition() - 1);
    field->setText(qt(current));
    field->setCursorPosition(cursor);
}

void ImagePage::refresh() {
    dynamic_->setChecked(controller_.dynamicSelected);
    fixed_->setChecked(!controller_.dynamicSelected);
    path_->setText(qt(controller_.path));
    path_->setEnabled(controller_.pathEnabled || !controller_.path.empty());
    next_->setEnabled(controller_.nextEnabled);
    version_->setText(qt(controller_.fileFormatVersion));
    sectors_->setText(qt(controller_.sectorsPerTrack));
    heads_->setText(qt(controller_.heads));
    cylinders_->setText(qt(controller_.cylinders));
    if (diskSize_->text() != qt(controller_.diskSizeText)) diskSize_->setText(qt(controller_.diskSizeText));
    if (tableEntries_->text() != qt(controller_.tableEntriesText)) tableEntries_->setText(qt(controller_.tableEntriesText));
    for (int row = 1; row < facts_->rowCount(); ++row) facts_->setRowVisible(row, controller_.factsVisible);
    facts_->setRowVisible(tableEntries_, controller_.factsVisible && controller_.tableEntriesVisible);
    facts_->setRowVisible(noFile_, !controller_.factsVisible);
}

void ImagePage::chooseFile() {
    const auto chosen = wizard().dialogs().pickFileToOpen(this, imageFileFilters(controller_.fileFilters()));
    if (chosen) controller_.chooseFile(utf8(*chosen));
    refresh();
}

void ImagePage::next() {
    const auto previous = beginNext();
    app::ScanModePage* modes = controller_.next();
    if (!modes) {
        cancelNext(previous);
        return;
    }
    openChild(std::make_unique<ScanModePage>(wizard(), this, *modes));
}

bool ImagePage::confirmClose() { return controller_.close(); }

void ImagePage::escapePressed() {
    if (controller_.escape()) wizard().endApplication();
}

}  // namespace vdrec::gui
