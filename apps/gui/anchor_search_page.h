#pragma once
// The anchor-search page: the search for copies of the volume's tables, then the results page,
// over the controller in src/app/pages/anchor_search_page.h.

#include "page_window.h"

class QComboBox;

namespace vdrec::app {
class AnchorSearchPage;
}

namespace vdrec::gui {

class AnchorSearchPage final : public PageWindow {
    Q_OBJECT
public:
    AnchorSearchPage(Wizard& wizard, PageWindow* parentPage, app::AnchorSearchPage& controller);
    void refresh() override;
    bool workerActive() const override;

protected:
    bool confirmClose() override;
    size_t pumpWorker() override;

private:
    void next();
    void back();

    app::AnchorSearchPage& controller_;
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
