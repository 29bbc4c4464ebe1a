#pragma once
// The anchor-search page: the search for copies of the volume's tables, then the results page.

#include "page_window.h"

class QComboBox;

namespace vdrec::app {
class advanceOptions;
}

namespace vdrec::gui {

class AnchorPage final : public PageWindow {
    Q_OBJECT
public:
    AnchorPage(Wizard& wizard, PageWindow* parentPage, app::advanceOptions& controller);
    void refresh() override;
    bool workerActive() const override;

protected:
    bool confirmClose() override;
    size_t pumpWorker() override;
    void childLeft() override;

private:
    void next();
    void back();

    app::advanceOptions& controller_;
    QLabel* heading_;
    QLabel* anchorLabel_;
    QComboBox* anchors_;
    QLabel* clusterLabel_;
    QComboBox* clusters_;
    QLabel* heapLabel_;
    QComboBox* heap_;
    QPushButton* pause_;
    QPushButton* resume_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* next_;
};

}  // namespace vdrec::gui
