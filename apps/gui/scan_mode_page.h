#pragma once
// The scan-mode page: standard or advanced volume scan, GPT, scan range, and the disk image
// export, over the controller in src/app/pages/scan_mode_page.h.

#include "page_window.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace vdrec::app {
class ScanModePage;
}

namespace vdrec::gui {

class ScanModePage final : public PageWindow {
    Q_OBJECT
public:
    ScanModePage(Wizard& wizard, PageWindow* parentPage, app::ScanModePage& controller);
    void refresh() override;
    bool workerActive() const override;

protected:
    bool confirmClose() override;
    void escapePressed() override {}
    size_t pumpWorker() override;

private:
    void next();
    void back();

    app::ScanModePage& controller_;
    QCheckBox* saveImage_;
    QLineEdit* outputPath_;
    QPushButton* saveImageButton_;
    QLineEdit* currentDrive_;
    QRadioButton* standard_;
    QCheckBox* gpt_;
    QRadioButton* advance_;
    QCheckBox* doNotSkip_;
    QCheckBox* custom_;
    QLabel* startingLabel_;
    QLineEdit* starting_;
    QLabel* endingLabel_;
    QLineEdit* ending_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* next_;
};

}  // namespace vdrec::gui
