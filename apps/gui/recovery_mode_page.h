#pragma once
// The recovery-mode page: Standard, Advanced or Deep, then the anchor-search page or the results
// page, over the controller in src/app/pages/recovery_mode_page.h.

#include "page_window.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace vdrec::app {
class RecoveryModePage;
}

namespace vdrec::gui {

class RecoveryModePage final : public PageWindow {
    Q_OBJECT
public:
    RecoveryModePage(Wizard& wizard, PageWindow* parentPage, app::RecoveryModePage& controller);
    void refresh() override;

protected:
    bool confirmClose() override;

private:
    void next();
    void back();

    app::RecoveryModePage& controller_;
    QRadioButton* standard_;
    QRadioButton* advanced_;
    QRadioButton* deep_;
    QLabel* maxLabel_;
    QLineEdit* maxFileSystems_;
    QCheckBox* formatted_;
    QPushButton* back_;
    QPushButton* next_;
};

}  // namespace vdrec::gui
