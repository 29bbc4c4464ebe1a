#include "recovery_mode_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "anchor_search_page.h"
#include "app/pages/anchor_search_page.h"
#include "app/pages/recovery_mode_page.h"
#include "results_page.h"
#include "text.h"
#include "wizard.h"

namespace vdrec::gui {

RecoveryModePage::RecoveryModePage(Wizard& wizard, PageWindow* parentPage, app::RecoveryModePage& controller)
    : PageWindow(wizard, parentPage, "recovery-mode"), controller_(controller) {
    auto* modes = new QGroupBox("Select Recovery Mode:", this);
    standard_ = new QRadioButton("Standard", modes);
    standard_->setObjectName("standard");
    advanced_ = new QRadioButton("Advanced", modes);
    advanced_->setObjectName("advanced");
    deep_ = new QRadioButton("Deep", modes);
    deep_->setObjectName("deep");
    maxLabel_ = new QLabel("Please Enter Max File Systems to Find :", modes);
    maxFileSystems_ = new QLineEdit(modes);
    maxFileSystems_->setObjectName("maxFileSystems");
    maxFileSystems_->setMaximumWidth(80);
    formatted_ = new QCheckBox("Is Drive Formated..?", modes);
    formatted_->setObjectName("formatted");

    auto* grid = new QGridLayout(modes);
    grid->setColumnMinimumWidth(0, 24);
    grid->addWidget(standard_, 0, 0, 1, 4);
    grid->addWidget(advanced_, 1, 0, 1, 4);
    grid->addWidget(maxLabel_, 2, 1);
    grid->addWidget(maxFileSystems_, 2, 2);
    grid->addWidget(new QLabel("( By  Default  it's  = 3 )", modes), 2, 3);
    grid->addWidget(formatted_, 3, 1, 1, 3);
    grid->addWidget(deep_, 4, 0, 1, 4);
    grid->setColumnStretch(3, 1);

    back_ = namedButton("Back", "back");
    next_ = namedButton("Next", "next");
    auto* buttons = wizardButtons(back_, next_);

    auto* page = new QVBoxLayout(this);
    page->addWidget(modes);
    page->addStretch();
    page->addLayout(buttons);

    connect(standard_, &QRadioButton::clicked, this, [this] { controller_.selectStandard(), refresh(); });
    connect(advanced_, &QRadioButton::clicked, this, [this] { controller_.selectAdvanced(), refresh(); });
    connect(deep_, &QRadioButton::clicked, this, [this] { controller_.selectDeep(), refresh(); });
    connect(formatted_, &QCheckBox::clicked, this, [this](bool on) { controller_.setFormatted(on), refresh(); });
    connect(maxFileSystems_, &QLineEdit::textEdited, this,
            [this](const QString& text) { controller_.setMaxFileSystems(utf8(text)); });
    connect(back_, &QPushButton::clicked, this, &RecoveryModePage::back);
    connect(next_, &QPushButton::clicked, this, &RecoveryModePage::next);
}

void RecoveryModePage::refresh() {
    const auto& c = controller_;
    standard_->setVisible(c.standardVisible);
    advanced_->setVisible(c.advancedVisible);
    deep_->setVisible(c.deepVisible);
    standard_->setChecked(c.standardSelected);
    advanced_->setChecked(c.advancedSelected);
    deep_->setChecked(c.deepSelected);
    if (maxFileSystems_->text() != qt(c.maxFileSystemsText)) maxFileSystems_->setText(qt(c.maxFileSystemsText));
    maxLabel_->setEnabled(c.maxFileSystemsEnabled);
    maxFileSystems_->setEnabled(c.maxFileSystemsEnabled);
    formatted_->setChecked(c.formattedChecked);
    formatted_->setEnabled(c.formattedEnabled);
}

bool RecoveryModePage::confirmClose() { return controller_.close(); }

void RecoveryModePage::next() {
    const auto previous = beginNext();
    if (controller_.next() == app::RecoveryModePage::NextPage::AnchorSearch && controller_.anchorPage()) {
        openChild(std::make_unique<AnchorSearchPage>(wizard(), this, *controller_.anchorPage()));
    } else if (controller_.resultsPage()) {
        openChild(std::make_unique<ResultsPage>(wizard(), this, *controller_.resultsPage()));
    } else {
        cancelNext(previous);
    }
}

void RecoveryModePage::back() {
    if (controller_.back()) leaveToParent();
}

}  // namespace vdrec::gui
