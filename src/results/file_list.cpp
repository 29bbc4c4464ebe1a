#include "results/file_list.h"

#include <algorithm>

namespace vdrec::results {

void FileList::clear() { rows_.clear(); }

void FileList::append(ListRow row) {
    rows_.push_back(std::move(row));
    refreshHeader();
}

void FileList::toggleHeader() {
    headerChecked_ = !headerChecked_;
    for (auto& row : rows_) row.checked = headerChecked_;
}

void FileList::setRowChecked(size_t row, bool checked) {
    if (row >= rows_.size()) return;
    rows_[row].checked = checked;
    refreshHeader();
}

// The header shows checked when no row is unchecked (an empty list included).
void FileList::refreshHeader() {
    headerChecked_ = std::none_of(rows_.begin(), rows_.end(), [](const ListRow& r) { return !r.checked; });
}

}  // namespace vdrec::results
