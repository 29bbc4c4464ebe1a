#pragma once
// The answers every index-based parser gives its adapter the same way: validity, names, sizes,
// saving and reading go straight to the parser's records. Each file system's adapter adds the
// questions whose answers are its own (tree links, folder and deleted tests, texts, rules).

#include "fs/file_system_adapter.h"

namespace vdrec::fs {

template <typename Parser>
class ParserAdapter : public FileSystemAdapter {
public:
    explicit ParserAdapter(Parser& parser) : parser_(parser) {}

    bool isValid(EntryRef entry) const override { return parser_.validEntry(entry); }
    bool hasChildren(EntryRef entry) const override { return firstChild(entry) != kNoEntry; }
    std::string name(EntryRef entry) const override { return std::string(parser_.name(entry)); }
    void appendName(EntryRef entry, std::string& out) const override { out += parser_.name(entry); }
    void rename(EntryRef entry, std::string name) override { parser_.rename(entry, name); }
    std::string sizeStatusText(EntryRef entry) const override { return parser_.listTexts(entry).size; }
    uint64_t dataSize(EntryRef entry) const override { return parser_.dataSize(entry); }
    CopyResult saveFile(EntryRef entry, const std::string& destinationPath) override {
        return parser_.saveFile(entry, destinationPath);
    }
    std::optional<std::vector<uint8_t>> readData(EntryRef entry, size_t maxBytes) override {
        return parser_.readData(entry, maxBytes);
    }

protected:
    EntryRef link(int64_t index) const { return parser_.validEntry(index) ? index : kNoEntry; }

    Parser& parser_;
};

}  // namespace vdrec::fs
