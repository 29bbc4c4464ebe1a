#include "fs/exfat/exfat_adapter.h"

namespace vdrec::fs::exfat {

std::vector<EntryRef> ExfatAdapter::rootLevel() const {
    const auto level = parser_.rootLevel();
    return std::vector<EntryRef>(level.begin(), level.end());
}

// A folder is an entry whose attributes have the directory bit, whatever else they carry.
bool ExfatAdapter::isFolder(EntryRef entry) const {
    return parser_.validEntry(entry) && parser_.entry(entry).set.isFolder();
}

EntryRef ExfatAdapter::firstChild(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).firstChild) : kNoEntry;
}

EntryRef ExfatAdapter::nextSibling(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).nextSibling) : kNoEntry;
}

// The orphan folder is the build's own, never a deleted entry.
bool ExfatAdapter::isDeleted(EntryRef entry, bool) const {
    return parser_.validEntry(entry) && !parser_.isOrphanFolder(entry) && parser_.entry(entry).set.deleted;
}

ListTexts ExfatAdapter::listTexts(EntryRef entry) const {
    const ExfatListTexts texts = parser_.listTexts(entry);
    return {texts.created, texts.accessed, texts.modified, texts.size, texts.attributes};
}

SaveKind ExfatAdapter::saveKind(EntryRef entry) const {
    if (!parser_.validEntry(entry)) return SaveKind::Skipped;
    return isFolder(entry) ? SaveKind::Folder : SaveKind::File;
}

FileSystemAdapter::Rules ExfatAdapter::rules() const {
    Rules rules;
    rules.recycleBinNames = true;
    rules.expansionClearsList = true;
    rules.doubleClickNeedsNoChildItems = true;
    return rules;
}

}  // namespace vdrec::fs::exfat
