#include "volume_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/pages/raw_recovery_page.h"
#include "app/pages/recovery_mode_page.h"
#include "raw_recovery_page.h"
#include "recovery_mode_page.h"
#include "text.h"
#include "app/pages/volume_page.h"
#include "wizard.h"

namespace vdrec::gui {

namespace {

QToolButton* arrow(QWidget* parent, Qt::ArrowType type, const char* name) {
    auto* button = new QToolButton(parent);
    button->setArrowType(type);
    button->setObjectName(name);
    button->setAutoRepeat(true);
    return button;
}

}  // namespace

VolumePage::VolumePage(Wizard& wizard, PageWindow* parentPage, app::VolumePage& controller)
    : PageWindow(wizard, parentPage, "volumes"), controller_(controller) {
    auto* list = new QGroupBox("Volume List:", this);
    table_ = new QTableWidget(0, 4, list);
    table_->setObjectName("volumes");
    table_->setHorizontalHeaderLabels({"VOLUME", "FILE_SYSTEM", "VOLUME_SIZE", "START_SECTOR"});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(true);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setMinimumHeight(180);
    filter_ = new QPushButton("Filter Entries", list);
    filter_->setObjectName("filterEntries");
    filter_->setToolTip("Filter volume entries.");
    addCustom_ = new QPushButton("Add Custom Volume", list);
    addCustom_->setObjectName("addCustomVolume");
    addCustom_->setToolTip("Add Custom Volume entry.");
    auto* listButtons = new QHBoxLayout;
    listButtons->addStretch();
    listButtons->addWidget(filter_);
    listButtons->addWidget(addCustom_);
    auto* listLayout = new QVBoxLayout(list);
    listLayout->addWidget(table_);
    listLayout->addLayout(listButtons);

    auto* settings = new QGroupBox(this);
    custom_ = new QCheckBox("Custom Settings For Selected Volume ", settings);
    custom_->setObjectName("customSettings");
    selectedVolume_ = new QLabel(settings);
    selectedVolume_->setObjectName("selectedVolume");
    startSector_ = new QLineEdit(settings);
    startSector_->setObjectName("startSector");
    endSector_ = new QLineEdit(settings);
    endSector_->setObjectName("endSector");
    startUp_ = arrow(settings, Qt::UpArrow, "startUp");
    startDown_ = arrow(settings, Qt::DownArrow, "startDown");
    endUp_ = arrow(settings, Qt::UpArrow, "endUp");
    endDown_ = arrow(settings, Qt::DownArrow, "endDown");
    treatAs_ = new QComboBox(settings);
    treatAs_->setObjectName("treatAs");
    for (std::string_view item : app::kTreatAsItems) treatAs_->addItem(qt(item));
    treatAs_->setMinimumWidth(120);
    auto* grid = new QGridLayout(settings);
    grid->addWidget(custom_, 0, 0, 1, 4);
    grid->addWidget(new QLabel("Selected Volume :", settings), 1, 0, Qt::AlignRight);
    grid->addWidget(selectedVolume_, 1, 1, 1, 3);
    grid->addWidget(new QLabel("Start Sector:", settings), 2, 0, Qt::AlignRight);
    grid->addWidget(startSector_, 2, 1);
    grid->addWidget(startUp_, 2, 2);
    grid->addWidget(startDown_, 2, 3);
    grid->addWidget(new QLabel("End Sector :", settings), 3, 0, Qt::AlignRight);
    grid->addWidget(endSector_, 3, 1);
    grid->addWidget(endUp_, 3, 2);
    grid->addWidget(endDown_, 3, 3);
    grid->addWidget(new QLabel("Treat file system as:", settings), 4, 0, Qt::AlignRight);
    grid->addWidget(treatAs_, 4, 1);
    grid->setColumnStretch(4, 1);

    stop_ = new QPushButton("Stop", this);
    stop_->setObjectName("stop");
    keepRoomWhenHidden(stop_);
    keepRoomWhenHidden(progressBar());
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(progressBar(), 1);
    progressRow->addWidget(stop_);

    back_ = namedButton("Back", "back");
    next_ = namedButton("Next", "next");
    auto* buttons = wizardButtons(back_, next_);

    auto* page = new QVBoxLayout(this);
    page->addWidget(list, 1);
    page->addWidget(settings);
    page->addLayout(progressRow);
    page->addWidget(statusLine());
    page->addLayout(buttons);

    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row < 0) return;
        controller_.selectRow(static_cast<size_t>(row));
        refresh();
    });
    connect(table_, &QTableWidget::cellClicked, this, [this](int row) {
        controller_.clickRow(static_cast<size_t>(row));
        refresh();
    });
    connect(filter_, &QPushButton::clicked, this, [this] {
        controller_.filterEntries();
        refresh();
    });
    connect(addCustom_, &QPushButton::clicked, this, [this] {
        controller_.addCustomVolume();
        refresh();
    });
    connect(custom_, &QCheckBox::clicked, this, [this](bool on) {
        controller_.setCustomSettings(on);
        refresh();
    });
    connect(startSector_, &QLineEdit::textEdited, this, [this](const QString& text) {
        controller_.setStartSectorText(utf8(text));
        refresh();
    });
    connect(endSector_, &QLineEdit::textEdited, this, [this](const QString& text) {
        controller_.setEndSectorText(utf8(text));
        refresh();
    });
    // The up arrow adds one, as the controller's spin steps count.
    connect(startUp_, &QToolButton::clicked, this, [this] { controller_.spinStartSector(-1), refresh(); });
    connect(startDown_, &QToolButton::clicked, this, [this] { controller_.spinStartSector(+1), refresh(); });
    connect(endUp_, &QToolButton::clicked, this, [this] { controller_.spinEndSector(-1), refresh(); });
    connect(endDown_, &QToolButton::clicked, this, [this] { controller_.spinEndSector(+1), refresh(); });
    connect(treatAs_, &QComboBox::activated, this, [this](int index) {
        controller_.selectTreatAs(index < 0 ? std::nullopt : std::optional<size_t>(static_cast<size_t>(index)));
        refresh();
    });
    connect(stop_, &QPushButton::clicked, this, [this] {
        controller_.stop();
        refresh();
    });
    connect(back_, &QPushButton::clicked, this, &VolumePage::back);
    connect(next_, &QPushButton::clicked, this, &VolumePage::next);
}

void VolumePage::fillRows() {
    const auto& rows = controller_.rows();
    const QSignalBlocker block(table_);
    bool same = table_->rowCount() == static_cast<int>(rows.size());
    for (size_t r = 0; same && r < rows.size(); ++r) {
        const std::string* texts[] = {&rows[r].volume, &rows[r].fileSystem, &rows[r].volumeSize, &rows[r].startSector};
        for (int column = 0; same && column < 4; ++column) {
            const QTableWidgetItem* cell = table_->item(static_cast<int>(r), column);
            same = cell && cell->text() == qt(*texts[column]);
        }
    }
    if (!same) {
        table_->setRowCount(static_cast<int>(rows.size()));
        for (size_t r = 0; r < rows.size(); ++r) {
            const std::string* texts[] = {&rows[r].volume, &rows[r].fileSystem, &rows[r].volumeSize,
                                          &rows[r].startSector};
            for (int column = 0; column < 4; ++column)
                table_->setItem(static_cast<int>(r), column, new QTableWidgetItem(qt(*texts[column])));
        }
    }
    const auto selected = controller_.selectedRow();
    if (selected && *selected < rows.size()) {
        if (table_->currentRow() != static_cast<int>(*selected)) table_->selectRow(static_cast<int>(*selected));
    } else {
        table_->clearSelection();
        table_->setCurrentCell(-1, -1);
    }
}

void VolumePage::refresh() {
    const auto& c = controller_;
    fillRows();
    filter_->setEnabled(c.filterEnabled);
    addCustom_->setVisible(c.addCustomVisible);
    addCustom_->setEnabled(c.addCustomEnabled);
    custom_->setChecked(c.customChecked);
    custom_->setEnabled(c.customEnabled);
    selectedVolume_->setText(qt(c.selectedVolumeText));
    for (QWidget* w : std::initializer_list<QWidget*>{startSector_, endSector_, startUp_, startDown_, endUp_, endDown_,
                                                      treatAs_})
        w->setEnabled(c.customFieldsEnabled);
    if (startSector_->text() != qt(c.startSectorText)) startSector_->setText(qt(c.startSectorText));
    if (endSector_->text() != qt(c.endSectorText)) endSector_->setText(qt(c.endSectorText));
    {
        const QSignalBlocker block(treatAs_);
        treatAs_->setCurrentIndex(c.treatAsItem ? static_cast<int>(*c.treatAsItem) : -1);
    }
    progressBar()->setVisible(c.progressVisible);
    stop_->setVisible(c.stopVisible);
    next_->setEnabled(c.nextEnabled);
    back_->setEnabled(c.backEnabled);
    watchWorker(controller_.worker(), workerActive());
}

bool VolumePage::workerActive() const { return controller_.busy(); }

size_t VolumePage::pumpWorker() { return controller_.pumpWorker(); }

bool VolumePage::confirmClose() { return controller_.close(); }

void VolumePage::escapePressed() {
    if (controller_.escape()) wizard().endApplication();
}

void VolumePage::next() {
    const auto previous = beginNext();
    const app::NextPage page = controller_.next();
    if (page == app::NextPage::RawRecovery && controller_.rawRecoveryPage()) {
        openChild(std::make_unique<RawRecoveryPage>(wizard(), this, *controller_.rawRecoveryPage()));
    } else if (page == app::NextPage::RecoveryMode && controller_.recoveryModePage()) {
        openChild(std::make_unique<RecoveryModePage>(wizard(), this, *controller_.recoveryModePage()));
    } else {
        cancelNext(previous);
    }
}

void VolumePage::back() {
    if (controller_.back()) leaveToParent();
}

}  // namespace vdrec::gui
