#include "results_page.h"

#include <QFileInfo>
#include <QGridLayout>
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

#include "check_header.h"
#include "check_tree_view.h"
#include "results/file_list.h"
#include "results/results_model.h"
#include "app/pages/results_page.h"
#include "text.h"
#include "wizard.h"

namespace vdrec::gui {

namespace {

const QColor kDeletedColour(255, 0, 0);

}  // namespace

ResultsPage::ResultsPage(Wizard& wizard, PageWindow* parentPage, app::ResultsPage& controller)
    : PageWindow(wizard, parentPage, "results"), controller_(controller) {
    volumeData_ = new QLineEdit(this);
    volumeData_->setObjectName("volumeData");
    volumeData_->setReadOnly(true);
    volumeData_->setMaximumWidth(220);
    search_ = new QLineEdit(this);
    search_->setObjectName("search");
    search_->setMinimumWidth(240);
    searchButton_ = new QPushButton("Search", this);
    searchButton_->setObjectName("searchButton");
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Volume Data:", this));
    top->addWidget(volumeData_);
    top->addSpacing(24);
    top->addWidget(search_, 1);
    top->addWidget(searchButton_);
    top->addWidget(new QLabel("* Use \"|\" to find multiple file type ", this));

    tree_ = new QTreeWidget(this);
    tree_->setObjectName("tree");
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    // Double click belongs to the controller (it fills the list or saves the file).
    tree_->setExpandsOnDoubleClick(false);
    tree_->setMinimumWidth(280);
    treeView_.attach(tree_);

    list_ = new QTreeWidget(this);
    list_->setObjectName("list");
    header_ = new CheckHeader(list_);
    list_->setHeader(header_);
    QStringList columns;
    for (const char* column : results::kListColumns) columns << column;
    list_->setHeaderLabels(columns);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    header_->setStretchLastSection(true);
    header_->resizeSection(0, 240);
    for (int column = 1; column < 4; ++column) header_->resizeSection(column, 150);
    header_->resizeSection(4, 90);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tree_);
    splitter->addWidget(list_);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
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
    detailLine()->setMinimumHeight(fontMetrics().height() + 4);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(splitter, 1);
    page->addLayout(run);
    page->addWidget(statusLine());
    page->addWidget(detailLine());
    page->addLayout(buttons);
    resize(1180, 720);

    connect(search_, &QLineEdit::textEdited, this, [this](const QString& text) { controller_.searchText = utf8(text); });
    connect(searchButton_, &QPushButton::clicked, this, [this] {
        controller_.search();
        afterInput();
    });
    connect(pause_, &QPushButton::clicked, this, [this] { controller_.pause(), refresh(); });
    connect(resume_, &QPushButton::clicked, this, [this] { controller_.resume(), refresh(); });
    connect(stop_, &QPushButton::clicked, this, [this] { controller_.stop(), refresh(); });
    connect(save_, &QPushButton::clicked, this, [this] {
        controller_.save();
        afterInput();
    });
    connect(back_, &QPushButton::clicked, this, &ResultsPage::back);

    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { treeCheckChanged(item); });
    connect(tree_, &QTreeWidget::itemPressed, this, [this] { checkClicked_ = false; });
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { treeClicked(item); });
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { treeExpanded(item); });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { treeCollapsed(item); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { treeDoubleClicked(item); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { treeCurrentChanged(item); });
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* row) { listCheckChanged(row); });
    connect(header_, &CheckHeader::checkClicked, this, &ResultsPage::headerClicked);
}

bool ResultsPage::workerActive() const { return controller_.inert() || controller_.worker().running(); }

size_t ResultsPage::pumpWorker() { return controller_.pumpWorker(); }

bool ResultsPage::confirmClose() { return controller_.close(); }

void ResultsPage::enterPressed() {
    controller_.searchText = utf8(search_->text());
    controller_.enter();
    afterInput();
}

void ResultsPage::escapePressed() {
    if (controller_.close()) wizard().endApplication();
}

void ResultsPage::afterInput() {
    // Input may have changed the model (populated a folder, filled the list, started a job).
    wasInert_ = true;
    refresh();
}

void ResultsPage::refresh() {
    const auto& c = controller_;
    volumeData_->setText(qt(c.volumeData));
    if (search_->text() != qt(c.searchText)) search_->setText(qt(c.searchText));
    progressBar()->setVisible(c.progressVisible);
    pause_->setVisible(c.pauseVisible);
    resume_->setVisible(c.resumeVisible);
    stop_->setVisible(c.stopVisible);
    back_->setEnabled(c.backEnabled);
    const bool inert = controller_.inert();
    // The tree and list stay as drawn while a worker owns the model.
    tree_->setEnabled(!inert);
    list_->setEnabled(!inert);
    header_->setEnabled(!inert);
    save_->setEnabled(!inert);
    searchButton_->setEnabled(!inert);
    if (!inert && wasInert_) {
        if (results::ResultsModel* model = controller_.model()) {
            treeView_.sync(model->tree);
            syncList(*model);
        }
    }
    wasInert_ = inert;
    watchWorker(controller_.worker(), workerActive());
}

void ResultsPage::syncList(results::ResultsModel& model) {
    const auto& rows = model.list.rows();
    const QSignalBlocker block(list_);
    if (list_->topLevelItemCount() != static_cast<int>(rows.size())) {
        list_->clear();
        QList<QTreeWidgetItem*> fresh;
        for (size_t r = 0; r < rows.size(); ++r) fresh << new QTreeWidgetItem;
        list_->addTopLevelItems(fresh);
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        QTreeWidgetItem* row = list_->topLevelItem(static_cast<int>(r));
        for (int column = 0; column < 6; ++column) row->setText(column, qt(rows[r].texts[static_cast<size_t>(column)]));
        row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(0, rows[r].checked ? Qt::Checked : Qt::Unchecked);
        const results::ItemId id = rows[r].treeItem;
        for (int column = 0; column < 6; ++column) {
            if (rows[r].deletedStyle)
                row->setForeground(column, kDeletedColour);
            else
                row->setData(column, Qt::ForegroundRole, QVariant());
        }
        if (model.tree.contains(id))
            row->setIcon(0, treeView_.iconFor(model.tree.item(id)));
        else if (rows[r].entry != fs::kNoEntry)  // a search hit: its path ends in its name
            row->setIcon(0, treeView_.fileIconFor(QFileInfo(qt(rows[r].texts[0])).fileName()));
    }
    header_->setChecked(model.list.headerChecked());
}

void ResultsPage::treeCheckChanged(QTreeWidgetItem* item) {
    if (treeView_.syncing()) return;
    results::ResultsModel* model = controller_.model();
    const results::ItemId id = treeView_.idOf(item);
    if (!model || !model->tree.contains(id)) return;
    checkClicked_ = true;
    // The model decides what the click means (it toggles its own flag) and the whole tree is
    // redrawn from it: ancestors and descendants change too.
    model->tree.setCheck(id, !model->tree.item(id).checked);
    model->tree.selected = id;
    treeView_.sync(model->tree);
}

void ResultsPage::treeClicked(QTreeWidgetItem* item) {
    if (checkClicked_) {
        checkClicked_ = false;
        return;
    }
    controller_.labelClick(treeView_.idOf(item));
    afterInput();
}

void ResultsPage::treeExpanded(QTreeWidgetItem* item) {
    if (treeView_.syncing()) return;
    // Populates the folder behind its placeholder before the new children are drawn.
    controller_.expand(treeView_.idOf(item));
    afterInput();
}

void ResultsPage::treeCollapsed(QTreeWidgetItem* item) {
    if (treeView_.syncing()) return;
    if (results::ResultsModel* model = controller_.model()) model->tree.setExpanded(treeView_.idOf(item), false);
}

void ResultsPage::treeDoubleClicked(QTreeWidgetItem* item) {
    controller_.doubleClick(treeView_.idOf(item));
    afterInput();
}

void ResultsPage::treeCurrentChanged(QTreeWidgetItem* item) {
    if (treeView_.syncing()) return;
    results::ResultsModel* model = controller_.model();
    const results::ItemId id = treeView_.idOf(item);
    if (model && model->tree.contains(id)) model->tree.selected = id;
}

void ResultsPage::listCheckChanged(QTreeWidgetItem* row) {
    const int index = list_->indexOfTopLevelItem(row);
    if (index < 0) return;
    controller_.listCheckClick(static_cast<size_t>(index));
    afterInput();
}

void ResultsPage::headerClicked() {
    if (results::ResultsModel* model = controller_.model()) {
        model->list.toggleHeader();
        afterInput();
    }
}

void ResultsPage::back() {
    if (controller_.back()) leaveToParent();
}

}  // namespace vdrec::gui
