#include "check_tree_view.h"

#include <QFileInfo>
#include <QMimeDatabase>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "text.h"

namespace vdrec::gui {

namespace {

constexpr int kItemRole = Qt::UserRole;
const QColor kDeletedColour(255, 0, 0);

Qt::CheckState qtState(results::CheckState state) {
    switch (state) {
    case results::CheckState::Checked: return Qt::Checked;
    case results::CheckState::Partial: return Qt::PartiallyChecked;
    case results::CheckState::Unchecked: break;
    }
    return Qt::Unchecked;
}

}  // namespace

results::ItemId CheckTreeView::idOf(const QTreeWidgetItem* item) const {
    if (!item) return results::kNoItem;
    bool ok = false;
    const qlonglong id = item->data(0, kItemRole).toLongLong(&ok);
    return ok ? id : results::kNoItem;
}

QIcon CheckTreeView::iconFor(const results::TreeItem& item) {
    if (item.icon == results::ItemIcon::Folder) return icons_.icon(QFileIconProvider::Folder);
    if (item.icon == results::ItemIcon::Placeholder) return {};
    return fileIconFor(qt(item.text));
}

QIcon CheckTreeView::fileIconFor(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    auto found = iconsBySuffix_.find(suffix);
    if (found != iconsBySuffix_.end()) return *found;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull()) icon = icons_.icon(QFileIconProvider::File);
    iconsBySuffix_.insert(suffix, icon);
    return icon;
}

void CheckTreeView::showItem(const results::CheckTree& tree, QTreeWidgetItem* item, results::ItemId id) {
    const results::TreeItem& node = tree.item(id);
    item->setData(0, kItemRole, static_cast<qlonglong>(id));
    const QString text = qt(node.text);
    if (item->text(0) != text) item->setText(0, text);
    item->setIcon(0, iconFor(node));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, qtState(tree.displayedState(id)));
    if (node.deletedStyle)
        item->setForeground(0, kDeletedColour);
    else
        item->setData(0, Qt::ForegroundRole, QVariant());
}

void CheckTreeView::forget(QTreeWidgetItem* item) {
    for (int k = 0; k < item->childCount(); ++k) forget(item->child(k));
    items_.erase(idOf(item));
}

void CheckTreeView::syncChildren(const results::CheckTree& tree, QTreeWidgetItem* parent,
                                 const std::vector<results::ItemId>& ids) {
    const int count = parent ? parent->childCount() : tree_->topLevelItemCount();
    const auto childAt = [&](int k) { return parent ? parent->child(k) : tree_->topLevelItem(k); };
    bool same = count == static_cast<int>(ids.size());
    for (int k = 0; same && k < count; ++k) same = idOf(childAt(k)) == ids[static_cast<size_t>(k)];
    if (!same) {
        QList<QTreeWidgetItem*> old = parent ? parent->takeChildren() : QList<QTreeWidgetItem*>();
        if (!parent)
            while (tree_->topLevelItemCount() > 0) old << tree_->takeTopLevelItem(0);
        for (QTreeWidgetItem* item : old) {
            forget(item);
            delete item;
        }
        QList<QTreeWidgetItem*> fresh;
        for (results::ItemId id : ids) {
            auto* item = new QTreeWidgetItem;
            items_[id] = item;
            fresh << item;
        }
        if (parent)
            parent->addChildren(fresh);
        else
            tree_->addTopLevelItems(fresh);
    }
    for (int k = 0; k < static_cast<int>(ids.size()); ++k) {
        const results::ItemId id = ids[static_cast<size_t>(k)];
        QTreeWidgetItem* item = childAt(k);
        items_[id] = item;
        showItem(tree, item, id);
        syncChildren(tree, item, tree.item(id).children);
        if (item->isExpanded() != tree.item(id).expanded) item->setExpanded(tree.item(id).expanded);
    }
}

void CheckTreeView::sync(const results::CheckTree& tree) {
    syncing_ = true;
    {
        const QSignalBlocker block(tree_);
        syncChildren(tree, nullptr, tree.topItems());
        auto selected = items_.find(tree.selected);
        tree_->setCurrentItem(selected != items_.end() ? selected->second : nullptr);
    }
    syncing_ = false;
}

}  // namespace vdrec::gui
