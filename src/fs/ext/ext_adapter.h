#pragma once
// What the results model asks of ext entries, answered from the parser's named entries.

#include "fs/ext/ext_volume.h"
#include "fs/file_system_adapter.h"

namespace vdrec::fs::ext {

class ExtAdapter final : public FileSystemAdapter {
public:
    explicit ExtAdapter(ExtVolume& parser) : parser_(parser) {}

    std::vector<EntryRef> rootLevel() const override;
    bool isValid(EntryRef entry) const override { return parser_.validEntry(entry); }
    bool isFolder(EntryRef entry) const override { return parser_.validEntry(entry) && parser_.entry(entry).isFolder(); }
    bool hasChildren(EntryRef entry) const override { return firstChild(entry) != kNoEntry; }
    EntryRef firstChild(EntryRef entry) const override;
    EntryRef nextSibling(EntryRef entry) const override;
    bool isDeleted(EntryRef entry, bool) const override { return parser_.validEntry(entry) && parser_.entry(entry).removed; }
    std::string name(EntryRef entry) const override { return std::string(parser_.name(entry)); }
    void rename(EntryRef entry, std::string name) override { parser_.rename(entry, name); }
    ListTexts listTexts(EntryRef entry) const override;
    SaveKind saveKind(EntryRef entry) const override;
    std::string sizeStatusText(EntryRef entry) const override { return parser_.listTexts(entry).size; }
    uint64_t dataSize(EntryRef entry) const override { return parser_.dataSize(entry); }
    CopyResult saveFile(EntryRef entry, const std::string& destinationPath) override {
        return parser_.saveFile(entry, destinationPath);
    }
    std::optional<std::vector<uint8_t>> readData(EntryRef entry, size_t maxBytes) override {
        return parser_.readData(entry, maxBytes);
    }
    Rules rules() const override;

private:
    EntryRef link(int64_t index) const { return parser_.validEntry(index) ? index : kNoEntry; }

    ExtVolume& parser_;
};

}  // namespace vdrec::fs::ext
