#include "results/results_model.h"

#include <unordered_map>

#include "fs/entry_walk.h"
#include "platform/byte_reader.h"
#include "platform/text_format.h"

namespace vdrec::results {

namespace {

// "$I" files record paths of at most 32767 UTF-16 characters.
constexpr size_t kRecycleIndexLimit = 28 + 2 * 32768;

bool isPlaceholder(const TreeItem& item) { return item.icon == ItemIcon::Placeholder && item.text == kPlaceholderText; }

}  // namespace

ItemId ResultsModel::insertEntry(ItemId parent, fs::EntryRef entry, bool deletedStyle) {
    const bool folder = adapter_.isFolder(entry);
    const ItemId id = tree.insert(parent, adapter_.name(entry), folder ? ItemIcon::Folder : ItemIcon::File, entry);
    tree.item(id).deletedStyle = deletedStyle;
    return id;
}

void ResultsModel::buildTopLevel() {
    tree.clear();
    topItem = tree.insert(kNoItem, kTopItemText, ItemIcon::Folder, std::nullopt);
    for (fs::EntryRef entry : adapter_.rootLevel())
        if (adapter_.isValid(entry)) insertEntry(topItem, entry, adapter_.isDeleted(entry, false));
    tree.setExpanded(topItem, true);
}

void ResultsModel::afterScan() {
    if (!tree.contains(topItem)) return;
    const std::vector<ItemId> rootLevel = tree.item(topItem).children;
    for (ItemId id : rootLevel) {
        const auto& node = tree.item(id);
        if (node.entry && adapter_.hasChildren(*node.entry))
            tree.insert(id, kPlaceholderText, ItemIcon::Placeholder, std::nullopt);
    }
}

bool ResultsModel::isFolderItem(ItemId id) const {
    if (!tree.contains(id)) return false;
    const auto& entry = tree.item(id).entry;
    return entry && adapter_.isValid(*entry) && adapter_.isFolder(*entry);
}

void ResultsModel::populate(ItemId folder, bool deletedStyle, bool fromExpansion) {
    const ItemId first = tree.firstChild(folder);
    if (first != kNoItem) {
        if (!isPlaceholder(tree.item(first))) return;
        tree.remove(first);
    }
    const fs::EntryRef folderEntry = *tree.item(folder).entry;
    const auto rules = adapter_.rules();
    const bool inheritedCheck = tree.getCheck(folder);
    const bool folderDeleted = adapter_.isDeleted(folderEntry, false);
    for (fs::EntryRef child : fs::childChain(adapter_, folderEntry)) {
        const std::string name = adapter_.name(child);
        if (fromExpansion && rules.expansionStopsAtEmptyName && name.empty()) break;
        const ItemId id = insertEntry(folder, child, deletedStyle && adapter_.isDeleted(child, folderDeleted));
        if (adapter_.isFolder(child) && adapter_.hasChildren(child))
            tree.insert(id, kPlaceholderText, ItemIcon::Placeholder, std::nullopt);
        if (rules.childrenInheritCheck) tree.setCheck(id, inheritedCheck);
    }
}

void ResultsModel::expand(ItemId id) {
    if (!isFolderItem(id)) return;
    populate(id, false, true);
    if (adapter_.rules().expansionClearsList && !tree.item(id).children.empty()) list.clear();
    tree.setExpanded(id, true);
}

ListRow ResultsModel::rowFor(ItemId id) const {
    ListRow row;
    const auto& node = tree.item(id);
    const fs::ListTexts texts = adapter_.listTexts(*node.entry);
    row.texts = {node.text, texts.created, texts.accessed, texts.modified, texts.size, texts.attributes};
    row.treeItem = id;
    row.deletedStyle = node.deletedStyle;
    return row;
}

void ResultsModel::labelClick(ItemId id) {
    if (!tree.contains(id) || !tree.item(id).entry || !adapter_.isValid(*tree.item(id).entry)) return;
    if (isFolderItem(id)) {
        populate(id, true, false);
        if (tree.item(id).children.empty()) return;
        list.clear();
        listShowsSearchResults = false;
        for (ItemId child : tree.item(id).children) {
            const auto& node = tree.item(child);
            if (!node.entry || adapter_.isFolder(*node.entry)) continue;
            list.append(rowFor(child));
        }
        return;
    }
    list.clear();
    listShowsSearchResults = false;
    list.append(rowFor(id));
}

std::optional<fs::EntryRef> ResultsModel::doubleClick(ItemId id) {
    if (!tree.contains(id) || !tree.item(id).entry || !adapter_.isValid(*tree.item(id).entry)) return std::nullopt;
    if (!isFolderItem(id)) return tree.item(id).entry;
    if (!adapter_.rules().doubleClickNeedsNoChildItems || tree.item(id).children.empty()) populate(id, true, false);
    if (tree.item(id).children.empty()) return std::nullopt;
    list.clear();
    for (ItemId child : tree.item(id).children) {
        const auto& node = tree.item(child);
        if (node.icon == ItemIcon::Folder) continue;
        ListRow row;
        row.texts[0] = node.text;
        row.treeItem = child;
        row.deletedStyle = node.deletedStyle;
        list.append(std::move(row));
    }
    return std::nullopt;
}

void ResultsModel::listCheckClick(size_t row) {
    if (row >= list.rows().size() || listShowsSearchResults) return;
    const ListRow& clicked = list.rows()[row];
    const bool checked = !clicked.checked;
    const ItemId item = clicked.treeItem;
    list.setRowChecked(row, checked);
    if (item != kNoItem) tree.setCheck(item, checked);
}

std::optional<std::string> recycledOriginalPath(const std::vector<uint8_t>& indexFile) {
    const platform::ByteReader in(platform::asBytes(indexFile.data(), indexFile.size()));
    const auto version = in.le64(0);
    if (!version) return std::nullopt;
    size_t start = 0, units = 0;
    if (*version == 1) {
        if (indexFile.size() <= 24) return std::nullopt;
        start = 24;
        units = (indexFile.size() - 24) / 2;
    } else if (*version == 2) {
        const auto length = in.le32(24);
        if (!length || indexFile.size() <= 28) return std::nullopt;
        start = 28;
        units = std::min<size_t>(*length, (indexFile.size() - 28) / 2);
    } else {
        return std::nullopt;
    }
    std::string path = platform::utf16leToUtf8(indexFile.data() + start, units);
    if (path.empty()) return std::nullopt;
    const auto backslash = path.rfind('\\');
    return backslash == std::string::npos ? path : path.substr(backslash + 1);
}

void ResultsModel::restoreRecycledNames() {
    const auto rules = adapter_.rules();
    if (!rules.recycleBinNames || !tree.contains(topItem)) return;
    for (ItemId id : tree.item(topItem).children) {
        const auto& node = tree.item(id);
        if (node.icon != ItemIcon::Folder || !node.entry) continue;
        if (node.text != "$RECYCLE.BIN" && node.text != "$RECYCLEBIN") continue;

        std::vector<fs::EntryRef> folders;
        if (rules.recycleBinPerUserFolders) {
            for (fs::EntryRef user : fs::childChain(adapter_, *node.entry))
                if (adapter_.isFolder(user)) folders.push_back(user);
        } else {
            folders.push_back(*node.entry);
        }

        for (fs::EntryRef folder : folders) {
            std::unordered_map<std::string, std::string> names;
            const std::vector<fs::EntryRef> children = fs::childChain(adapter_, folder);
            for (fs::EntryRef child : children) {
                const std::string name = adapter_.name(child);
                if (name.rfind("$I", 0) != 0) continue;
                if (auto data = adapter_.readData(child, kRecycleIndexLimit))
                    if (auto original = recycledOriginalPath(*data)) names[name] = *original;
            }
            for (const auto& [indexName, original] : names) {
                const std::string partner = "$R" + indexName.substr(2);
                for (fs::EntryRef child : children)
                    if (adapter_.name(child) == partner) adapter_.rename(child, original);
            }
        }
    }
}

}  // namespace vdrec::results
