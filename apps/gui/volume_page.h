#pragma once
// The volume page: the volumes found and the custom settings for the selected one, over the
// controller in src/app/pages/volume_page.h.

#include "page_window.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTableWidget;
class QToolButton;

namespace vdrec::app {
class VolumePage;
}

namespace vdrec::gui {

class VolumePage final : public PageWindow {
    Q_OBJECT
public:
    VolumePage(Wizard& wizard, PageWindow* parentPage, app::VolumePage& controller);
    void refresh() override;
    bool workerActive() const override;

protected:
    bool confirmClose() override;
    void escapePressed() override;
    size_t pumpWorker() override;

private:
    void fillRows();
    void next();
    void back();

    app::VolumePage& controller_;
    QTableWidget* table_;
    QPushButton* filter_;
    QPushButton* addCustom_;
    QCheckBox* custom_;
    QLabel* selectedVolume_;
    QLineEdit* startSector_;
    QLineEdit* endSector_;
    QToolButton* startUp_;
    QToolButton* startDown_;
    QToolButton* endUp_;
    QToolButton* endDown_;
    QComboBox* treatAs_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* next_;
};

}  // namespace vdrec::gui
