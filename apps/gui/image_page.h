#pragma once
// The image page, the wizard's first: the image file, its kind, its header facts and the size
// overrides, over the controller in src/app/pages/image_page.h.

#include "page_window.h"

class QFormLayout;
class QLineEdit;
class QRadioButton;

namespace vdrec::app {
class ImagePage;
}

namespace vdrec::gui {

class ImagePage final : public PageWindow {
    Q_OBJECT
public:
    ImagePage(Wizard& wizard, app::ImagePage& controller);
    void refresh() override;

protected:
    bool confirmClose() override;
    void escapePressed() override;

private:
    void chooseFile();
    void next();
    // A field the controller refused goes back to the controller's text.
    void edited(QLineEdit* field, bool accepted, const std::string& current);

    app::ImagePage& controller_;
    QRadioButton* dynamic_;
    QRadioButton* fixed_;
    QLineEdit* path_;
    QPushButton* browse_;
    QFormLayout* facts_;
    QLabel* version_;
    QLabel* sectors_;
    QLabel* heads_;
    QLabel* cylinders_;
    QLineEdit* diskSize_;
    QWidget* diskSizeRow_;
    QLineEdit* tableEntries_;
    QLabel* noFile_;
    QPushButton* next_;
};

}  // namespace vdrec::gui
