#pragma once
// The results tree as a model: items with text, icon kind, entry reference, deleted style and
// tri-state check counts. A widget draws it; every decision about checks lives here.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fs/file_system_adapter.h"

namespace vdrec::results {

using ItemId = int64_t;
inline constexpr ItemId kNoItem = -1;

enum class ItemIcon { Folder, File, Placeholder };
// Displayed check state: the widget's state images 1 to 3.
enum class CheckState { Unchecked = 1, Checked = 2, Partial = 3 };

inline constexpr const char* kPlaceholderText = "..DUMY..";
inline constexpr const char* kTopItemText = "ROOT";

struct TreeItem {
    std::string text;
    ItemIcon icon = ItemIcon::File;
    std::optional<fs::EntryRef> entry;
    bool deletedStyle = false;
    ItemId parent = kNoItem;
    std::vector<ItemId> children;
    bool checked = false;
    int64_t descendantCount = 0;
    int64_t checkedDescendantCount = 0;
    bool expanded = false;
    bool expandedOnce = false;
    bool removed = false;
};

class CheckTree {
public:
    // Inserts as the last child of `parent` (kNoItem: a top-level item), unchecked.
    ItemId insert(ItemId parent, std::string text, ItemIcon icon, std::optional<fs::EntryRef> entry);
    // Removes the item and everything below it.
    void remove(ItemId item);
    void clear();

    void setCheck(ItemId item, bool checked);
    // True when the item (or, for a folder with items below, every item below it) is checked.
    bool getCheck(ItemId item) const;
    CheckState displayedState(ItemId item) const;
    void setExpanded(ItemId item, bool expanded);

    bool contains(ItemId item) const;
    const TreeItem& item(ItemId id) const { return items_.at(static_cast<size_t>(id)); }
    TreeItem& item(ItemId id) { return items_.at(static_cast<size_t>(id)); }
    const std::vector<ItemId>& topItems() const { return top_; }
    ItemId firstChild(ItemId id) const;

    ItemId selected = kNoItem;

private:
    void recomputeChecked(ItemId id);
    void setSubtree(ItemId id, bool checked);

    std::vector<TreeItem> items_;
    std::vector<ItemId> top_;
};

}  // namespace vdrec::results
