#include "fs/hfsplus/hfsplus_adapter.h"

namespace vdrec::fs::hfsplus {

std::vector<EntryRef> HfsPlusAdapter::rootLevel() const {
    const auto level = parser_.rootLevel();
    return std::vector<EntryRef>(level.begin(), level.end());
}

EntryRef HfsPlusAdapter::firstChild(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).firstChild) : kNoEntry;
}

EntryRef HfsPlusAdapter::nextSibling(EntryRef entry) const {
    return parser_.validEntry(entry) ? link(parser_.entry(entry).nextSibling) : kNoEntry;
}

ListTexts HfsPlusAdapter::listTexts(EntryRef entry) const {
    const HfsListTexts texts = parser_.listTexts(entry);
    return {texts.created, texts.accessed, texts.modified, texts.size, texts.attributes};
}

SaveKind HfsPlusAdapter::saveKind(EntryRef entry) const {
    if (!parser_.validEntry(entry)) return SaveKind::Skipped;
    return parser_.entry(entry).folder ? SaveKind::Folder : SaveKind::File;
}

FileSystemAdapter::Rules HfsPlusAdapter::rules() const {
    Rules rules;
    rules.expansionClearsList = true;
    rules.doubleClickNeedsNoChildItems = true;
    return rules;
}

}  // namespace vdrec::fs::hfsplus
