#pragma once
// The raw recovery page: signature file choice, Parse with run control, the check-box tree of
// categories beside the list of the clicked category's files, and Save, over the controller in
// src/app/pages/raw_recovery_page.h.

#include "check_tree_view.h"
#include "page_window.h"

class QCheckBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace vdrec::app {
class RawRecoveryPage;
}

namespace vdrec::gui {

class RawRecoveryPage final : public PageWindow {
    Q_OBJECT
public:
    RawRecoveryPage(Wizard& wizard, PageWindow* parentPage, app::RawRecoveryPage& controller);
    void refresh() override;
    bool workerActive() const override;

protected:
    bool confirmClose() override;
    size_t pumpWorker() override;

private:
    void browse();
    void openEditor();
    void syncList();
    void treeCheckChanged(QTreeWidgetItem* item);
    void treeClicked(QTreeWidgetItem* item);
    void back();

    app::RawRecoveryPage& controller_;
    QLineEdit* path_;
    QPushButton* browse_;
    QCheckBox* loadDefault_;
    QPushButton* parse_;
    QPushButton* settings_;
    QTreeWidget* tree_;
    QTreeWidget* list_;
    CheckTreeView treeView_;
    QPushButton* pause_;
    QPushButton* resume_;
    QPushButton* stop_;
    QPushButton* back_;
    QPushButton* save_;
    // The check change a click on a tree check box made, so that its click is not a label click.
    bool checkClicked_ = false;
};

}  // namespace vdrec::gui
