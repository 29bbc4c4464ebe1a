#include "fs/ntfs/ntfs_adapter.h"

namespace vdrec::fs::ntfs {

std::vector<EntryRef> NtfsAdapter::rootLevel() const {
    const auto level = parser_.rootLevel();
    return std::vector<EntryRef>(level.begin(), level.end());
}

bool NtfsAdapter::isValid(EntryRef entry) const { return parser_.validEntry(entry); }

bool NtfsAdapter::isFolder(EntryRef entry) const { return inRange(entry) && parser_.entry(entry).isFolder(); }

bool NtfsAdapter::hasChildren(EntryRef entry) const { return link(inRange(entry) ? parser_.entry(entry).firstChild : 0) != kNoEntry; }

EntryRef NtfsAdapter::firstChild(EntryRef entry) const { return inRange(entry) ? link(parser_.entry(entry).firstChild) : kNoEntry; }

EntryRef NtfsAdapter::nextSibling(EntryRef entry) const { return inRange(entry) ? link(parser_.entry(entry).nextSibling) : kNoEntry; }

bool NtfsAdapter::isDeleted(EntryRef entry, bool) const { return inRange(entry) && parser_.entry(entry).isDeleted(); }

std::string NtfsAdapter::name(EntryRef entry) const { return std::string(parser_.name(entry)); }

void NtfsAdapter::rename(EntryRef entry, std::string name) { parser_.rename(entry, name); }

ListTexts NtfsAdapter::listTexts(EntryRef entry) const {
    ListTexts texts;
    fillListTexts(entry, texts, true);
    return texts;
}

void NtfsAdapter::fillListTexts(EntryRef entry, ListTexts& texts, bool withSize) const {
    parser_.fillTimesAndAttributes(entry, texts);
    if (withSize) texts.size = parser_.sizeText(entry);
}

SaveKind NtfsAdapter::saveKind(EntryRef entry) const {
    if (!inRange(entry)) return SaveKind::Skipped;
    if (parser_.entry(entry).isFolder()) return SaveKind::Folder;
    if (parser_.name(entry) == "$BadClus") return SaveKind::CountedOnly;
    return SaveKind::File;
}

std::string NtfsAdapter::sizeStatusText(EntryRef entry) const { return parser_.sizeText(entry); }

uint64_t NtfsAdapter::dataSize(EntryRef entry) const { return parser_.dataSize(entry); }

CopyResult NtfsAdapter::saveFile(EntryRef entry, const std::string& destinationPath) {
    return parser_.saveFile(entry, destinationPath);
}

std::optional<std::vector<uint8_t>> NtfsAdapter::readData(EntryRef entry, size_t maxBytes) {
    return parser_.readData(entry, maxBytes);
}

FileSystemAdapter::Rules NtfsAdapter::rules() const {
    Rules rules;
    rules.childrenInheritCheck = true;
    rules.expansionStopsAtEmptyName = true;
    rules.capitalisedConfirmation = true;
    rules.recycleBinPerUserFolders = true;
    rules.recycleBinNames = true;
    return rules;
}

}  // namespace vdrec::fs::ntfs
