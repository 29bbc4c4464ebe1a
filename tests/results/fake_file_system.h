#pragma once
// An in-memory file system for the results model's tests: entries with names, folder flags,
// deleted flags and contents, linked like a parser's records.

#include <map>
#include <string>
#include <vector>

#include "fs/file_system_adapter.h"
#include "platform/output_file.h"

namespace vdrec::results {

class FakeFileSystem : public fs::FileSystemAdapter {
public:
    struct Entry {
        std::string name;
        bool folder = false;
        bool deleted = false;
        std::string data;
        fs::EntryRef firstChild = fs::kNoEntry;
        fs::EntryRef nextSibling = fs::kNoEntry;
        fs::EntryRef lastChild = fs::kNoEntry;
        bool failCopy = false;
        bool noData = false;  // a removed file of which nothing survives
        bool countedOnly = false;
    };

    // Adds an entry as the last child of `parent` (kNoEntry: root level).
    fs::EntryRef add(fs::EntryRef parent, std::string name, bool folder, std::string data = "", bool deleted = false) {
        const auto id = static_cast<fs::EntryRef>(entries.size());
        Entry entry;
        entry.name = std::move(name);
        entry.folder = folder;
        entry.data = std::move(data);
        entry.deleted = deleted;
        entries.push_back(entry);
        if (parent == fs::kNoEntry) {
            roots.push_back(id);
        } else {
            Entry& p = entries[static_cast<size_t>(parent)];
            if (p.lastChild == fs::kNoEntry)
                p.firstChild = id;
            else
                entries[static_cast<size_t>(p.lastChild)].nextSibling = id;
            p.lastChild = id;
        }
        return id;
    }
    Entry& at(fs::EntryRef e) { return entries.at(static_cast<size_t>(e)); }
    const Entry& at(fs::EntryRef e) const { return entries.at(static_cast<size_t>(e)); }

    std::vector<fs::EntryRef> rootLevel() const override { return roots; }
    bool isValid(fs::EntryRef e) const override { return e >= 0 && static_cast<size_t>(e) < entries.size(); }
    bool isFolder(fs::EntryRef e) const override { return at(e).folder; }
    bool hasChildren(fs::EntryRef e) const override { return at(e).firstChild != fs::kNoEntry; }
    fs::EntryRef firstChild(fs::EntryRef e) const override { return at(e).firstChild; }
    fs::EntryRef nextSibling(fs::EntryRef e) const override { return at(e).nextSibling; }
    bool isDeleted(fs::EntryRef e, bool) const override { return at(e).deleted; }
    std::string name(fs::EntryRef e) const override { return at(e).name; }
    void rename(fs::EntryRef e, std::string name) override { at(e).name = std::move(name); }
    fs::ListTexts listTexts(fs::EntryRef e) const override {
        return {"c", "a", "m", std::to_string(at(e).data.size()) + " Bytes", at(e).deleted ? "D" : "-A"};
    }
    fs::SaveKind saveKind(fs::EntryRef e) const override {
        if (at(e).folder) return fs::SaveKind::Folder;
        return at(e).countedOnly ? fs::SaveKind::CountedOnly : fs::SaveKind::File;
    }
    std::string sizeStatusText(fs::EntryRef e) const override { return std::to_string(at(e).data.size()) + " Bytes"; }
    uint64_t dataSize(fs::EntryRef e) const override { return at(e).data.size(); }
    fs::CopyResult saveFile(fs::EntryRef e, const std::string& destination) override {
        if (at(e).failCopy) return {fs::CopyStatus::Failed, 0};
        if (at(e).noData) return {fs::CopyStatus::NoData, 0};
        int error = 0;
        auto out = platform::OutputFile::create(destination, platform::OutputFile::Mode::CreateNew, error);
        if (!out) return {fs::CopyStatus::Failed, 0};
        if (out->writeAt(0, at(e).data.data(), at(e).data.size()) != 0) return {fs::CopyStatus::Failed, 0};
        out->close();
        return {fs::CopyStatus::Ok, at(e).data.size()};
    }
    std::optional<std::vector<uint8_t>> readData(fs::EntryRef e, size_t maxBytes) override {
        if (at(e).data.size() > maxBytes) return std::nullopt;
        return std::vector<uint8_t>(at(e).data.begin(), at(e).data.end());
    }
    Rules rules() const override { return rules_; }

    std::vector<Entry> entries;
    std::vector<fs::EntryRef> roots;
    Rules rules_{.childrenInheritCheck = true, .expansionStopsAtEmptyName = true, .capitalisedConfirmation = true,
                 .recycleBinPerUserFolders = true, .recycleBinNames = true};
};

}  // namespace vdrec::results
