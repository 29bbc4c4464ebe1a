#pragma once
// What every file-system fuzz target does once its parser has read a volume: walk the entries
// through the adapter (bounded), asking for their names and texts and saving the files.

#include <unistd.h>

#include <cstdint>
#include <string>

#include "fs/entry_walk.h"
#include "fs/file_system_adapter.h"

namespace vdrec::fuzz {

// Files larger than `maxSavedBytes` are not saved, so one input cannot write gigabytes.
inline void walkAdapter(fs::FileSystemAdapter& adapter, const std::string& out, uint64_t maxSavedBytes = UINT64_MAX) {
    struct Asker final : fs::EntryVisitor {
        fs::FileSystemAdapter& adapter;
        const std::string& out;
        uint64_t maxSavedBytes;
        Asker(fs::FileSystemAdapter& files, const std::string& path, uint64_t maxBytes)
            : adapter(files), out(path), maxSavedBytes(maxBytes) {}
        fs::WalkStep visit(fs::EntryRef entry, bool) override {
            adapter.listTexts(entry);
            adapter.name(entry);
            adapter.isDeleted(entry, false);
            if (adapter.saveKind(entry) == fs::SaveKind::File && adapter.dataSize(entry) <= maxSavedBytes) {
                ::unlink(out.c_str());
                adapter.saveFile(entry, out);
                adapter.readData(entry, 1 << 16);
            }
            // Into anything with children, folder or not: damaged links are what is tried here.
            return fs::WalkStep::Descend;
        }
    } asker(adapter, out, maxSavedBytes);
    // A few hundred entries keep one input fast; depth as deep as that allows.
    fs::walkEntries(adapter, fs::kNoEntry, asker, {.maxDepth = 512, .maxVisits = 512});
    ::unlink(out.c_str());
}

}  // namespace vdrec::fuzz
