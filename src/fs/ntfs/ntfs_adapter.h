#pragma once
// What the results model asks of NTFS entries, answered from the parser's records.

#include "fs/file_system_adapter.h"
#include "fs/ntfs/ntfs_volume.h"

namespace vdrec::fs::ntfs {

class NtfsAdapter final : public FileSystemAdapter {
public:
    explicit NtfsAdapter(NtfsVolume& parser) : parser_(parser) {}

    std::vector<EntryRef> rootLevel() const override;
    bool isValid(EntryRef entry) const override;
    bool isFolder(EntryRef entry) const override;
    bool hasChildren(EntryRef entry) const override;
    EntryRef firstChild(EntryRef entry) const override;
    EntryRef nextSibling(EntryRef entry) const override;
    bool isDeleted(EntryRef entry, bool parentDeleted) const override;
    std::string name(EntryRef entry) const override;
    void appendName(EntryRef entry, std::string& out) const override { out += parser_.name(entry); }
    void rename(EntryRef entry, std::string name) override;
    ListTexts listTexts(EntryRef entry) const override;
    void fillListTexts(EntryRef entry, ListTexts& texts, bool withSize) const override;
    SaveKind saveKind(EntryRef entry) const override;
    std::string sizeStatusText(EntryRef entry) const override;
    uint64_t dataSize(EntryRef entry) const override;
    CopyResult saveFile(EntryRef entry, const std::string& destinationPath) override;
    std::optional<std::vector<uint8_t>> readData(EntryRef entry, size_t maxBytes) override;
    Rules rules() const override;

private:
    bool inRange(EntryRef entry) const { return entry >= 0 && static_cast<uint64_t>(entry) < parser_.entryCount(); }
    EntryRef link(int64_t index) const { return inRange(index) && index > 0 ? index : kNoEntry; }

    NtfsVolume& parser_;
};

}  // namespace vdrec::fs::ntfs
