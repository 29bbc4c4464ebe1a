#pragma once
// What every file-system fuzz target does once its parser has read a volume: walk the entries
// through the adapter (bounded), asking for their names and texts and saving the files.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/file_system_adapter.h"

namespace vdrec::fuzz {

// Files larger than `maxSavedBytes` are not saved, so one input cannot write gigabytes.
inline void walkAdapter(fs::FileSystemAdapter& adapter, const std::string& out, uint64_t maxSavedBytes = UINT64_MAX) {
    size_t visited = 0;
    std::vector<fs::EntryRef> pending(adapter.rootLevel());
    while (!pending.empty() && visited++ < 512) {
        const fs::EntryRef entry = pending.back();
        pending.pop_back();
        if (!adapter.isValid(entry)) continue;
        adapter.listTexts(entry);
        adapter.name(entry);
        if (adapter.saveKind(entry) == fs::SaveKind::File && adapter.dataSize(entry) <= maxSavedBytes) {
            ::unlink(out.c_str());
            adapter.saveFile(entry, out);
            adapter.readData(entry, 1 << 16);
        }
        size_t children = 0;
        for (fs::EntryRef child = adapter.firstChild(entry); child != fs::kNoEntry && children++ < 64;
             child = adapter.nextSibling(child))
            pending.push_back(child);
    }
    ::unlink(out.c_str());
}

}  // namespace vdrec::fuzz
