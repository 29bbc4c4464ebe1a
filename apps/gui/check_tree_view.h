#pragma once
// Draws a CheckTree into a QTreeWidget: items keyed by their id, texts, icons, the deleted style
// and tri-state checks, rebuilding a level only where its children changed. The results page and
// the raw recovery page both show their tree through it.

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <unordered_map>

#include "results/check_tree.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace vdrec::gui {

class CheckTreeView {
public:
    // The widget to draw into, once the page has made it.
    void attach(QTreeWidget* tree) { tree_ = tree; }

    // Mirrors the whole tree, its expansion and its selection; the widget's signals are held.
    void sync(const results::CheckTree& tree);
    results::ItemId idOf(const QTreeWidgetItem* item) const;
    QIcon iconFor(const results::TreeItem& item);
    // By name only: the file is inside the image, not on this machine.
    QIcon fileIconFor(const QString& name);
    // True while sync() changes the widget, so that its signals are not taken for input.
    bool syncing() const { return syncing_; }

private:
    void syncChildren(const results::CheckTree& tree, QTreeWidgetItem* parent, const std::vector<results::ItemId>& ids);
    void showItem(const results::CheckTree& tree, QTreeWidgetItem* item, results::ItemId id);
    void forget(QTreeWidgetItem* item);

    QTreeWidget* tree_ = nullptr;
    std::unordered_map<results::ItemId, QTreeWidgetItem*> items_;
    QFileIconProvider icons_;
    QHash<QString, QIcon> iconsBySuffix_;
    bool syncing_ = false;
};

}  // namespace vdrec::gui
