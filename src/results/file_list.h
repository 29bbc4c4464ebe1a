#pragma once
// The file list beside the tree: rows with six texts, a check box, and either the tree item of
// the file (tree-driven rows) or its entry (search results). Its header check box checks all.

#include <array>
#include <string>
#include <vector>

#include "fs/file_system_adapter.h"
#include "results/check_tree.h"

namespace vdrec::results {

inline constexpr std::array<const char*, 6> kListColumns = {"File(s) List",      "Creation Time", "Access Time",
                                                            "Modification Time", "Size",          "Attribute"};

struct ListRow {
    std::array<std::string, 6> texts;
    ItemId treeItem = kNoItem;        // tree-driven rows
    fs::EntryRef entry = fs::kNoEntry;  // search results
    bool deletedStyle = false;           // drawn like a deleted tree item
    bool checked = false;
};

class FileList {
public:
    void clear();
    void append(ListRow row);
    // Header click: checks or clears every row; the tree is not touched.
    void toggleHeader();
    void setRowChecked(size_t row, bool checked);

    const std::vector<ListRow>& rows() const { return rows_; }
    bool headerChecked() const { return headerChecked_; }

private:
    void refreshHeader();

    std::vector<ListRow> rows_;
    bool headerChecked_ = false;
};

}  // namespace vdrec::results
