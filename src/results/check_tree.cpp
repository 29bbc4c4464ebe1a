#include "results/check_tree.h"

#include <algorithm>

namespace vdrec::results {

bool CheckTree::contains(ItemId id) const {
    return id >= 0 && static_cast<size_t>(id) < items_.size() && !items_[static_cast<size_t>(id)].removed;
}

ItemId CheckTree::firstChild(ItemId id) const {
    if (!contains(id) || item(id).children.empty()) return kNoItem;
    return item(id).children.front();
}

void CheckTree::recomputeChecked(ItemId id) {
    TreeItem& node = item(id);
    if (node.descendantCount > 0) node.checked = node.checkedDescendantCount == node.descendantCount;
}

ItemId CheckTree::insert(ItemId parent, std::string text, ItemIcon icon, std::optional<fs::EntryRef> entry) {
    const auto id = static_cast<ItemId>(items_.size());
    TreeItem node;
    node.text = std::move(text);
    node.icon = icon;
    node.entry = entry;
    node.parent = contains(parent) ? parent : kNoItem;
    items_.push_back(std::move(node));
    if (items_.back().parent == kNoItem) {
        top_.push_back(id);
        return id;
    }
    item(parent).children.push_back(id);
    // An unchecked newcomer makes a fully checked ancestor partial.
    for (ItemId a = parent; a != kNoItem; a = item(a).parent) {
        ++item(a).descendantCount;
        recomputeChecked(a);
    }
    return id;
}

void CheckTree::remove(ItemId id) {
    if (!contains(id)) return;
    int64_t removedCount = 0, removedChecked = 0;
    std::vector<ItemId> stack{id};
    while (!stack.empty()) {
        const ItemId current = stack.back();
        stack.pop_back();
        TreeItem& node = item(current);
        node.removed = true;
        ++removedCount;
        if (node.checked) ++removedChecked;
        stack.insert(stack.end(), node.children.begin(), node.children.end());
    }
    if (selected != kNoItem && !contains(selected)) selected = kNoItem;
    const ItemId parent = item(id).parent;
    if (parent == kNoItem) {
        top_.erase(std::remove(top_.begin(), top_.end(), id), top_.end());
        return;
    }
    auto& siblings = item(parent).children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    for (ItemId a = parent; a != kNoItem; a = item(a).parent) {
        TreeItem& node = item(a);
        node.descendantCount = std::max<int64_t>(0, node.descendantCount - removedCount);
        node.checkedDescendantCount = std::max<int64_t>(0, node.checkedDescendantCount - removedChecked);
        const bool before = node.checked;
        recomputeChecked(a);
        // A folder left with no items below keeps its own flag.
        if (node.descendantCount == 0) node.checked = before;
    }
}

void CheckTree::clear() {
    items_.clear();
    top_.clear();
    selected = kNoItem;
}

void CheckTree::setSubtree(ItemId id, bool checked) {
    std::vector<ItemId> stack(item(id).children.begin(), item(id).children.end());
    while (!stack.empty()) {
        const ItemId current = stack.back();
        stack.pop_back();
        TreeItem& node = item(current);
        node.checked = checked;
        node.checkedDescendantCount = checked ? node.descendantCount : 0;
        stack.insert(stack.end(), node.children.begin(), node.children.end());
    }
}

void CheckTree::setCheck(ItemId id, bool checked) {
    if (!contains(id)) return;
    TreeItem& node = item(id);
    const bool old = node.checked;
    node.checked = checked;
    if (old == checked) return;
    int64_t delta = checked ? node.descendantCount - node.checkedDescendantCount + 1 : -(node.checkedDescendantCount + 1);
    setSubtree(id, checked);
    node.checkedDescendantCount = checked ? node.descendantCount : 0;
    for (ItemId a = node.parent; a != kNoItem; a = item(a).parent) {
        TreeItem& ancestor = item(a);
        ancestor.checkedDescendantCount = std::max<int64_t>(0, ancestor.checkedDescendantCount + delta);
        const bool before = ancestor.checked;
        ancestor.checked = ancestor.checkedDescendantCount == ancestor.descendantCount;
        if (ancestor.checked != before) delta += ancestor.checked ? 1 : -1;
    }
}

bool CheckTree::getCheck(ItemId id) const {
    if (!contains(id)) return false;
    const TreeItem& node = item(id);
    if (node.descendantCount > 0)
        return node.checkedDescendantCount > 0 && node.checkedDescendantCount == node.descendantCount;
    return node.checked;
}

CheckState CheckTree::displayedState(ItemId id) const {
    if (!contains(id)) return CheckState::Unchecked;
    const TreeItem& node = item(id);
    if (node.descendantCount > 0) {
        if (node.checkedDescendantCount == 0) return CheckState::Unchecked;
        if (node.checkedDescendantCount == node.descendantCount) return CheckState::Checked;
        return CheckState::Partial;
    }
    return node.checked ? CheckState::Checked : CheckState::Unchecked;
}

void CheckTree::setExpanded(ItemId id, bool expanded) {
    if (!contains(id)) return;
    item(id).expanded = expanded;
    if (expanded) item(id).expandedOnce = true;
}

}  // namespace vdrec::results
