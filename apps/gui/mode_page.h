#pragma once
// The mode page: standard or advanced volume scan, GPT, scan range, and the disk image export.

#include "page_window.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace vdrec::app {
class DriveParsingModes;
}

namespace vdrec::gui {

class ModePage final : public PageWindow {
    Q_OBJECT
public:
    ModePage(Wizard& wizard, PageWindow* parentPage, app::DriveParsingModes& controller);
    void refresh() override;
    bool workerActive() const override;

protected:
    bool confirmClose() override;
    void escapePressed() override {}
    size_t pumpWorker() override;

private:
    void next();
    void back();

    app::DriveParsingModes& controller_;
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
