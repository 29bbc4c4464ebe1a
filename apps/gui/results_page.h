#pragma once
// The results page: the check-box tree of folders over the controller's CheckTree, the file list
// with its check-all header, run control, Save and Search, over the controller in
// src/app/pages/results_page.h.

#include "check_tree_view.h"
#include "page_window.h"
#include "results/check_tree.h"

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace vdrec::results {
class ResultsModel;
}  // namespace vdrec::results

namespace vdrec::app {
class ResultsPage;
}  // namespace vdrec::app

namespace vdrec::gui {

class CheckHeader;

class ResultsPage final : public PageWindow {
    Q_OBJECT
public:
    ResultsPage(Wizard& wizard, PageWindow* parentPage, app::ResultsPage& controller);
    void refresh() override;
    bool workerActive() const override;

protected:
    bool confirmClose() override;
    void enterPressed() override;
    void escapePressed() override;
    size_t pumpWorker() override;

private:
    // Mirrors the model's list into the widget; only while no worker runs.
    void syncList(results::ResultsModel& model);
    void afterInput();

    void treeCheckChanged(QTreeWidgetItem* item);
    void treeClicked(QTreeWidgetItem* item);
    void treeExpanded(QTreeWidgetItem* item);
    void treeCollapsed(QTreeWidgetItem* item);
    void treeDoubleClicked(QTreeWidgetItem* item);
    void treeCurrentChanged(QTreeWidgetItem* item);
    void listCheckChanged(QTreeWidgetItem* row);
    void headerClicked();
    void back();

    app::ResultsPage& controller_;
    QLineEdit* volumeData_;
    QLineEdit* search_;
    QPushButton* searchButton_;
    QTreeWidget* tree_;
    QTreeWidget* list_;
    CheckHeader* header_;
    QPushButton* pause_;
    QPushButton* resume_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* save_;
    CheckTreeView treeView_;
    // The check change a click on a tree check box made, so that its click is not a label click.
    bool checkClicked_ = false;
    bool wasInert_ = true;
};

}  // namespace vdrec::gui
