#include "fs/fat/fat_adapter.h"

namespace vdrec::fs::fat {

std::vector<EntryRef> FatAdapter::rootLevel() const {
    const auto level = parser_.rootLevel();
    return std::vector<EntryRef>(level.begin(), level.end());
}

bool FatAdapter::isFolder(EntryRef entry) const { return parser_.validEntry(entry) && parser_.entry(entry).isFolder(); }

EntryRef FatAdapter::firstChild(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).firstChild) : kNoEntry;
}

EntryRef FatAdapter::nextSibling(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).nextSibling) : kNoEntry;
}

bool FatAdapter::isDeleted(EntryRef entry, bool) const { return parser_.validEntry(entry) && parser_.entry(entry).deleted; }

ListTexts FatAdapter::listTexts(EntryRef entry) const {
    const FatListTexts texts = parser_.listTexts(entry);
    return {texts.created, texts.accessed, texts.modified, texts.size, texts.attributes};
}

SaveKind FatAdapter::saveKind(EntryRef entry) const {
    if (!parser_.validEntry(entry)) return SaveKind::Skipped;
    const uint8_t attributes = parser_.entry(entry).slot.attributes;
    if (isFolderAttribute(attributes)) return SaveKind::Folder;
    // The orphan folder is a folder by its own record; labels never become entries.
    return isFileAttribute(attributes) ? SaveKind::File : SaveKind::Skipped;
}

FileSystemAdapter::Rules FatAdapter::rules() const {
    Rules rules;
    rules.recycleBinNames = parser_.type() == FatType::Fat32;
    rules.expansionClearsList = true;
    rules.doubleClickNeedsNoChildItems = true;
    return rules;
}

}  // namespace vdrec::fs::fat
