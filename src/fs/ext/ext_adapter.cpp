#include "fs/ext/ext_adapter.h"

namespace vdrec::fs::ext {

std::vector<EntryRef> ExtAdapter::rootLevel() const {
    const auto level = parser_.rootLevel();
    return std::vector<EntryRef>(level.begin(), level.end());
}

EntryRef ExtAdapter::firstChild(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).firstChild) : kNoEntry;
}

EntryRef ExtAdapter::nextSibling(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).nextSibling) : kNoEntry;
}

ListTexts ExtAdapter::listTexts(EntryRef entry) const {
    ListTexts texts;
    parser_.fillListTexts(entry, texts, true);
    return texts;
}

SaveKind ExtAdapter::saveKind(EntryRef entry) const {
    if (!parser_.validEntry(entry)) return SaveKind::Skipped;
    const ExtEntry& e = parser_.entry(entry);
    if (e.isFolder()) return SaveKind::Folder;
    return e.isFile() ? SaveKind::File : SaveKind::Skipped;
}

FileSystemAdapter::Rules ExtAdapter::rules() const {
    Rules rules;
    rules.doubleClickNeedsNoChildItems = true;
    return rules;
}

}  // namespace vdrec::fs::ext
