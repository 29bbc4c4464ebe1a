#include "scan_mode_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/pages/scan_mode_page.h"
#include "text.h"
#include "wizard.h"
#include "volume_page.h"

namespace vdrec::gui {

ScanModePage::ScanModePage(Wizard& wizard, PageWindow* parentPage, app::ScanModePage& controller)
    : PageWindow(wizard, parentPage, "mode"), controller_(controller) {
    auto* image = new QGroupBox(this);
    saveImage_ = new QCheckBox("Save Disk Image:", image);
    saveImage_->setObjectName("saveDiskImageCheck");
    outputPath_ = new QLineEdit(image);
    outputPath_->setObjectName("outputPath");
    outputPath_->setReadOnly(true);
    saveImageButton_ = new QPushButton("Save Disk Image", image);
    saveImageButton_->setObjectName("saveDiskImage");
    auto* imageRow = new QHBoxLayout(image);
    imageRow->addWidget(saveImage_);
    imageRow->addWidget(outputPath_, 1);
    imageRow->addWidget(saveImageButton_);

    auto* drive = new QHBoxLayout;
    currentDrive_ = new QLineEdit(this);
    currentDrive_->setObjectName("currentDrive");
    currentDrive_->setReadOnly(true);
    currentDrive_->setMinimumWidth(380);
    drive->addWidget(new QLabel("Currently Selected Drive :", this));
    drive->addWidget(currentDrive_, 1);

    auto* mode = new QGroupBox("Select Mode:", this);
    standard_ = new QRadioButton("Standard Scan", mode);
    standard_->setObjectName("standardScan");
    gpt_ = new QCheckBox("GPT format", mode);
    gpt_->setObjectName("gptFormat");
    auto* gptNote = new QLabel("* Check If Partition type is GPT", mode);
    advance_ = new QRadioButton("Advance Scan", mode);
    advance_->setObjectName("advanceScan");
    doNotSkip_ = new QCheckBox("Do not Skip Volume Size While Parsing in Advance  Scan ", mode);
    doNotSkip_->setObjectName("doNotSkip");
    custom_ = new QCheckBox("Custom Setting:", mode);
    custom_->setObjectName("customSetting");
    startingLabel_ = new QLabel("Starting Sector:", mode);
    starting_ = new QLineEdit(mode);
    starting_->setObjectName("startingSector");
    starting_->setMaximumWidth(180);
    endingLabel_ = new QLabel("Ending Sector:", mode);
    ending_ = new QLineEdit(mode);
    ending_->setObjectName("endingSector");
    ending_->setMaximumWidth(180);

    // Options sit indented under the radio they belong to.
    auto* grid = new QGridLayout(mode);
    grid->setColumnMinimumWidth(0, 24);
    grid->addWidget(standard_, 0, 0, 1, 4);
    auto* gptRow = new QHBoxLayout;
    gptRow->addWidget(gpt_);
    gptRow->addSpacing(16);
    gptRow->addWidget(gptNote);
    gptRow->addStretch();
    grid->addLayout(gptRow, 1, 1, 1, 3);
    grid->addWidget(advance_, 2, 0, 1, 4);
    grid->addWidget(doNotSkip_, 3, 1, 1, 3);
    grid->addWidget(custom_, 4, 1, 1, 3);
    grid->addWidget(startingLabel_, 5, 2, Qt::AlignRight);
    grid->addWidget(starting_, 5, 3);
    grid->addWidget(endingLabel_, 6, 2, Qt::AlignRight);
    grid->addWidget(ending_, 6, 3);
    grid->setColumnStretch(3, 1);

    stop_ = new QPushButton("Stop", this);
    stop_->setObjectName("stop");
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progressBar(), 1);
    progressRow->addWidget(stop_);

    back_ = namedButton("Back", "back");
    next_ = namedButton("Next", "next");
    auto* buttons = wizardButtons(back_, next_);

    auto* page = new QVBoxLayout(this);
    page->addWidget(image);
    page->addLayout(drive);
    page->addWidget(mode);
    page->addLayout(progressRow);
    page->addWidget(statusLine());
    page->addStretch();
    page->addLayout(buttons);

    connect(saveImage_, &QCheckBox::clicked, this, [this](bool on) {
        controller_.setSaveDiskImage(on);
        refresh();
    });
    connect(saveImageButton_, &QPushButton::clicked, this, [this] {
        controller_.saveDiskImage();
        refresh();
    });
    connect(standard_, &QRadioButton::clicked, this, [this] {
        controller_.selectStandard();
        refresh();
    });
    connect(advance_, &QRadioButton::clicked, this, [this] {
        controller_.selectAdvance();
        refresh();
    });
    connect(gpt_, &QCheckBox::clicked, this, [this](bool on) {
        controller_.setGptFormat(on);
        refresh();
    });
    connect(doNotSkip_, &QCheckBox::clicked, this, [this](bool on) {
        controller_.setDoNotSkip(on);
        refresh();
    });
    connect(custom_, &QCheckBox::clicked, this, [this](bool on) {
        controller_.setCustomSetting(on);
        refresh();
    });
    connect(starting_, &QLineEdit::textEdited, this, [this](const QString& text) {
        controller_.setStartingSector(utf8(text));
        refresh();
    });
    connect(ending_, &QLineEdit::textEdited, this, [this](const QString& text) {
        controller_.setEndingSector(utf8(text));
        refresh();
    });
    connect(stop_, &QPushButton::clicked, this, [this] {
        controller_.stop();
        refresh();
    });
    connect(back_, &QPushButton::clicked, this, &ScanModePage::back);
    connect(next_, &QPushButton::clicked, this, &ScanModePage::next);
}

namespace {

void showText(QLineEdit* field, const std::string& text) {
    const QString shown = qt(text);
    if (field->text() == shown) return;
    const int cursor = field->cursorPosition();
    field->setText(shown);
    field->setCursorPosition(std::min(cursor, static_cast<int>(shown.size())));
}

}  // namespace

void ScanModePage::refresh() {
    const auto& c = controller_;
    saveImage_->setChecked(c.saveImageChecked);
    saveImage_->setEnabled(c.saveImageCheckEnabled);
    saveImageButton_->setEnabled(c.saveImageButtonEnabled);
    outputPath_->setText(qt(c.outputPath));
    currentDrive_->setText(qt(c.currentDrive));
    standard_->setChecked(c.standardSelected);
    advance_->setChecked(c.advanceSelected);
    gpt_->setChecked(c.gptChecked);
    doNotSkip_->setChecked(c.doNotSkipChecked);
    doNotSkip_->setEnabled(c.doNotSkipEnabled);
    custom_->setChecked(c.customChecked);
    custom_->setEnabled(c.customEnabled);
    for (QWidget* w : {static_cast<QWidget*>(startingLabel_), static_cast<QWidget*>(starting_),
                       static_cast<QWidget*>(endingLabel_), static_cast<QWidget*>(ending_)})
        w->setEnabled(c.sectorFieldsEnabled);
    showText(starting_, c.startingSectorText);
    showText(ending_, c.endingSectorText);
    // Hidden bars keep their room, so the page does not jump when an export starts.
    QSizePolicy keep = progressBar()->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    progressBar()->setSizePolicy(keep);
    progressBar()->setVisible(c.progressVisible);
    QSizePolicy keepStop = stop_->sizePolicy();
    keepStop.setRetainSizeWhenHidden(true);
    stop_->setSizePolicy(keepStop);
    stop_->setVisible(c.stopVisible);
    next_->setEnabled(c.nextEnabled);
    back_->setEnabled(c.backEnabled);
    watchWorker(controller_.worker(), workerActive());
}

bool ScanModePage::workerActive() const { return controller_.busy(); }

size_t ScanModePage::pumpWorker() { return controller_.pumpWorker(); }

bool ScanModePage::confirmClose() { return controller_.close(); }

void ScanModePage::next() {
    const auto previous = beginNext();
    app::VolumePage* volumes = controller_.next();
    if (!volumes) {
        cancelNext(previous);
        return;
    }
    openChild(std::make_unique<VolumePage>(wizard(), this, *volumes));
}

void ScanModePage::back() {
    if (controller_.back()) leaveToParent();
}

}  // namespace vdrec::gui
