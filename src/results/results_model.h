#pragma once
// How the results page turns a parser's entries into tree items and list rows: the top item and
// root level, lazy population behind "..DUMY..", the deleted style, list rows, and the names
// recycled files had before they were recycled.

#include <optional>

#include "fs/file_system_adapter.h"
#include "results/check_tree.h"
#include "results/file_list.h"

namespace vdrec::results {

class ResultsModel {
public:
    explicit ResultsModel(fs::FileSystemAdapter& adapter) : adapter_(adapter) {}

    // The volume's top item "ROOT" and the parser's root level below it.
    void buildTopLevel();
    // End of scan: placeholders under root-level folders that have children.
    void afterScan();
    // Gives recycled files ("$R...") the names their "$I..." partners recorded.
    void restoreRecycledNames();

    void expand(ItemId item);
    void labelClick(ItemId item);
    // A file to copy alone when the selected item is a file.
    std::optional<fs::EntryRef> doubleClick(ItemId item);
    void listCheckClick(size_t row);

    // Inserts the children of folder item `folder` unless it is already populated.
    void populate(ItemId folder, bool deletedStyle, bool fromExpansion);

    CheckTree tree;
    FileList list;
    ItemId topItem = kNoItem;
    bool listShowsSearchResults = false;
    fs::FileSystemAdapter& adapter() { return adapter_; }

private:
    ItemId insertEntry(ItemId parent, fs::EntryRef entry, bool deletedStyle);
    bool isFolderItem(ItemId item) const;
    ListRow rowFor(ItemId item) const;

    fs::FileSystemAdapter& adapter_;
};

// The path a "$I" recycle-bin index file recorded for its "$R" partner, by its layout version
// (1: path from byte 24; 2: length at 24, path from 28); nullopt for other layouts.
std::optional<std::string> recycledOriginalPath(const std::vector<uint8_t>& indexFile);

}  // namespace vdrec::results
