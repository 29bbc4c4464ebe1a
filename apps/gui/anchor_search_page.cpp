#include "anchor_search_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/pages/anchor_search_page.h"
#include "results_page.h"
#include "text.h"
#include "wizard.h"

namespace vdrec::gui {

namespace {

void fillItems(QComboBox* box, const std::vector<std::string>& items, int selection) {
    const QSignalBlocker block(box);
    bool same = box->count() == static_cast<int>(items.size());
    for (int k = 0; same && k < box->count(); ++k) same = box->itemText(k) == qt(items[static_cast<size_t>(k)]);
    if (!same) {
        box->clear();
        for (const auto& item : items) box->addItem(qt(item));
    }
    box->setCurrentIndex(selection < box->count() ? selection : -1);
}

}  // namespace

AnchorSearchPage::AnchorSearchPage(Wizard& wizard, PageWindow* parentPage, app::AnchorSearchPage& controller)
    : PageWindow(wizard, parentPage, "anchor-search"), controller_(controller) {
    heading_ = new QLabel(this);
    QFont bold = heading_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    heading_->setFont(bold);

    auto* input = new QGroupBox("Advanced Input:", this);
    anchorLabel_ = new QLabel(input);
    anchors_ = new QComboBox(input);
    anchors_->setObjectName("anchors");
    clusterLabel_ = new QLabel("Sector Per Cluster :", input);
    clusters_ = new QComboBox(input);
    clusters_->setObjectName("clusterSizes");
    heapLabel_ = new QLabel("Heap Offset :", input);
    heap_ = new QComboBox(input);
    heap_->setObjectName("heapOffsets");
    for (QComboBox* box : {anchors_, clusters_, heap_}) box->setMinimumWidth(220);
    auto* form = new QFormLayout(input);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(anchorLabel_, anchors_);
    form->addRow(clusterLabel_, clusters_);
    form->addRow(heapLabel_, heap_);

    const RunControls controls = runControls();
    pause_ = controls.pause;
    resume_ = controls.resume;
    stop_ = controls.stop;
    QHBoxLayout* run = controls.row;

    back_ = namedButton("Back", "back");
    next_ = namedButton("Next", "next");
    auto* buttons = wizardButtons(back_, next_);

    auto* page = new QVBoxLayout(this);
    page->addWidget(heading_);
    page->addWidget(input);
    page->addLayout(run);
    page->addWidget(statusLine());
    page->addStretch();
    page->addLayout(buttons);

    connect(anchors_, &QComboBox::activated, this, [this](int index) { controller_.selectAnchor(index), refresh(); });
    connect(clusters_, &QComboBox::activated, this,
            [this](int index) { controller_.selectClusterSize(index), refresh(); });
    connect(heap_, &QComboBox::activated, this, [this](int index) { controller_.selectHeap(index), refresh(); });
    connect(pause_, &QPushButton::clicked, this, [this] { controller_.pause(), refresh(); });
    connect(resume_, &QPushButton::clicked, this, [this] { controller_.resume(), refresh(); });
    connect(stop_, &QPushButton::clicked, this, [this] { controller_.stop(), refresh(); });
    connect(back_, &QPushButton::clicked, this, &AnchorSearchPage::back);
    connect(next_, &QPushButton::clicked, this, &AnchorSearchPage::next);
}

void AnchorSearchPage::refresh() {
    const auto& c = controller_;
    heading_->setText(qt(c.title));
    anchorLabel_->setText(qt(c.anchorLabel));
    fillItems(anchors_, c.anchorItems, c.anchorSelection);
    fillItems(clusters_, c.clusterItems, c.clusterSelection);
    fillItems(heap_, c.heapItems, c.heapSelection);
    clusterLabel_->setVisible(c.clusterVisible);
    clusters_->setVisible(c.clusterVisible);
    heapLabel_->setVisible(c.heapVisible);
    heap_->setVisible(c.heapVisible);
    progressBar()->setVisible(c.progressVisible);
    pause_->setVisible(c.pauseVisible);
    resume_->setVisible(c.resumeVisible);
    stop_->setVisible(c.stopVisible);
    next_->setEnabled(c.nextEnabled);
    back_->setEnabled(c.backEnabled);
    watchWorker(controller_.worker(), workerActive());
}

bool AnchorSearchPage::workerActive() const { return controller_.searching || controller_.worker().running(); }

size_t AnchorSearchPage::pumpWorker() { return controller_.pumpWorker(); }

bool AnchorSearchPage::confirmClose() { return controller_.close(); }

void AnchorSearchPage::next() {
    const auto previous = beginNext();
    if (app::ResultsPage* results = controller_.next()) {
        openChild(std::make_unique<ResultsPage>(wizard(), this, *results));
        return;
    }
    cancelNext(previous);
}

void AnchorSearchPage::back() {
    if (controller_.back()) leaveToParent();
}

}  // namespace vdrec::gui
