#include "raw_recovery_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/pages/raw_recovery_page.h"
#include "app/pages/signature_editor_page.h"
#include "dialog_host.h"
#include "signature_editor_page.h"
#include "text.h"
#include "wizard.h"

namespace vdrec::gui {

namespace {

const QString kSignatureFileFilters = "Text Files (*.txt);;All Files (*)";

}  // namespace

RawRecoveryPage::RawRecoveryPage(Wizard& wizard, PageWindow* parentPage, app::RawRecoveryPage& controller)
    : PageWindow(wizard, parentPage, "raw-recovery"), controller_(controller) {
    setWindowTitle("Raw Recovery Dialog");
    auto* files = new QGroupBox(
        "Click Parse button to add default file settings or create your own file to process raw recovery.", this);
    path_ = new QLineEdit(files);
    path_->setObjectName("signaturePath");
    browse_ = new QPushButton("...", files);
    browse_->setObjectName("browse");
    loadDefault_ = new QCheckBox("Load Default Items", files);
    loadDefault_->setObjectName("loadDefault");
    parse_ = new QPushButton("Parse", files);
    parse_->setObjectName("parse");
    settings_ = new QPushButton(qt(app::kSignatureEditorTitle), files);
    settings_->setObjectName("settings");
    settings_->setToolTip(settings_->text());
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(path_, 1);
    fileRow->addWidget(browse_);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(loadDefault_);
    optionRow->addWidget(parse_);
    optionRow->addStretch();
    optionRow->addWidget(settings_);
    optionRow->addWidget(new QLabel("[Add new signatures in \n new/existing file]", files));
    auto* filesLayout = new QVBoxLayout(files);
    filesLayout->addLayout(fileRow);
    filesLayout->addLayout(optionRow);

    tree_ = new QTreeWidget(this);
    tree_->setObjectName("tree");
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setMinimumWidth(260);
    treeView_.attach(tree_);
    list_ = new QTreeWidget(this);
    list_->setObjectName("list");
    list_->setHeaderLabels({"File(s) List"});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->header()->resizeSection(0, 300);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(tree_);
    splitter->addWidget(list_);
    splitter->setChildrenCollapsible(false);

    const RunControls controls = runControls();
    pause_ = controls.pause;
    resume_ = controls.resume;
    stop_ = controls.stop;
    QHBoxLayout* run = controls.row;

    back_ = namedButton("Back", "back");
    save_ = namedButton("Save", "save");
    auto* buttons = wizardButtons(back_, save_);

    statusLine()->setMinimumHeight(fontMetrics().height() + 4);
    auto* page = new QVBoxLayout(this);
    page->addWidget(files);
    page->addWidget(splitter, 1);
    page->addLayout(run);
    page->addWidget(statusLine());
    page->addLayout(buttons);
    resize(900, 640);

    connect(path_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_.signaturePath = utf8(text); });
    connect(browse_, &QPushButton::clicked, this, &RawRecoveryPage::browse);
    connect(loadDefault_, &QCheckBox::clicked, this, [this](bool on) { controller_.loadDefaultItems = on; });
    connect(parse_, &QPushButton::clicked, this, [this] { controller_.parse(), refresh(); });
    connect(settings_, &QPushButton::clicked, this, &RawRecoveryPage::openEditor);
    connect(pause_, &QPushButton::clicked, this, [this] { controller_.pause(), refresh(); });
    connect(resume_, &QPushButton::clicked, this, [this] { controller_.resume(), refresh(); });
    connect(stop_, &QPushButton::clicked, this, [this] { controller_.stop(), refresh(); });
    connect(save_, &QPushButton::clicked, this, [this] { controller_.save(), refresh(); });
    connect(back_, &QPushButton::clicked, this, &RawRecoveryPage::back);
    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { treeCheckChanged(item); });
    connect(tree_, &QTreeWidget::itemPressed, this, [this] { checkClicked_ = false; });
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { treeClicked(item); });
}

bool RawRecoveryPage::workerActive() const { return controller_.running || controller_.worker().running(); }

size_t RawRecoveryPage::pumpWorker() { return controller_.pumpWorker(); }

bool RawRecoveryPage::confirmClose() { return controller_.close(); }

void RawRecoveryPage::refresh() {
    const auto& c = controller_;
    if (path_->text() != qt(c.signaturePath)) path_->setText(qt(c.signaturePath));
    path_->setEnabled(c.pathEnabled);
    loadDefault_->setChecked(c.loadDefaultItems);
    loadDefault_->setEnabled(c.parseEnabled);
    parse_->setEnabled(c.parseEnabled);
    settings_->setEnabled(c.settingsEnabled);
    browse_->setEnabled(c.pathEnabled);
    progressBar()->setVisible(c.progressVisible);
    for (QPushButton* button : {pause_, resume_, stop_}) button->setVisible(c.runButtonsVisible);
    back_->setEnabled(c.backEnabled);
    save_->setEnabled(c.saveEnabled);
    // The tree grows on the page's thread as finds arrive, so it can be drawn at any time.
    treeView_.sync(c.tree);
    syncList();
    watchWorker(controller_.worker(), workerActive());
}

void RawRecoveryPage::syncList() {
    const QSignalBlocker block(list_);
    const auto& rows = controller_.listRows;
    if (list_->topLevelItemCount() != static_cast<int>(rows.size())) {
        list_->clear();
        QList<QTreeWidgetItem*> fresh;
        for (size_t r = 0; r < rows.size(); ++r) fresh << new QTreeWidgetItem;
        list_->addTopLevelItems(fresh);
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        QTreeWidgetItem* row = list_->topLevelItem(static_cast<int>(r));
        row->setText(0, qt(rows[r].text));
        row->setToolTip(0, qt(rows[r].text));
        if (controller_.tree.contains(rows[r].item)) row->setIcon(0, treeView_.iconFor(controller_.tree.item(rows[r].item)));
    }
}

void RawRecoveryPage::browse() {
    if (!controller_.browse()) return;
    if (const auto chosen = wizard().dialogs().pickFileToOpen(this, kSignatureFileFilters))
        controller_.signatureFileChosen(utf8(*chosen));
    refresh();
}

void RawRecoveryPage::openEditor() {
    std::unique_ptr<app::SignatureEditorPage> editor = controller_.openSignatureEditor();
    if (editor) {
        SignatureEditorPage dialog(wizard().dialogs(), this, *editor);
        dialog.exec();
    }
    refresh();
}

void RawRecoveryPage::treeCheckChanged(QTreeWidgetItem* item) {
    if (treeView_.syncing()) return;
    const results::ItemId id = treeView_.idOf(item);
    if (!controller_.tree.contains(id)) return;
    checkClicked_ = true;
    // The tree decides what the click means; ancestors and descendants change with it.
    controller_.setChecked(id, !controller_.tree.item(id).checked);
    controller_.tree.selected = id;
    refresh();
}

void RawRecoveryPage::treeClicked(QTreeWidgetItem* item) {
    if (checkClicked_) {
        checkClicked_ = false;
        return;
    }
    controller_.labelClick(treeView_.idOf(item));
    refresh();
}

void RawRecoveryPage::back() {
    if (controller_.back()) leaveToParent();
}

}  // namespace vdrec::gui
