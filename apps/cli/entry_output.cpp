#include "entry_output.h"

#include <unordered_set>

#include "platform/text_format.h"

namespace vdrec::cli {

nlohmann::ordered_json entryJson(fs::FileSystemAdapter& adapter, fs::EntryRef entry, const std::string& path) {
    const fs::ListTexts texts = adapter.listTexts(entry);
    nlohmann::ordered_json out;
    out["path"] = path;
    out["name"] = adapter.name(entry);
    out["type"] = adapter.isFolder(entry) ? "dir" : "file";
    out["deleted"] = adapter.isDeleted(entry, false);
    out["size"] = adapter.dataSize(entry);
    out["created"] = texts.created;
    out["accessed"] = texts.accessed;
    out["modified"] = texts.modified;
    out["attributes"] = texts.attributes;
    return out;
}

std::string entryLine(fs::FileSystemAdapter& adapter, fs::EntryRef entry, const std::string& path) {
    const fs::ListTexts texts = adapter.listTexts(entry);
    return platform::format("%s %s %12s  %-20s  %s", adapter.isFolder(entry) ? "dir " : "file",
                            adapter.isDeleted(entry, false) ? "deleted" : "       ",
                            adapter.isFolder(entry) ? "" : texts.size.c_str(), texts.modified.c_str(), path.c_str());
}

std::vector<fs::EntryRef> childrenOf(fs::FileSystemAdapter& adapter, fs::EntryRef folder) {
    if (folder == fs::kNoEntry) return adapter.rootLevel();
    std::vector<fs::EntryRef> children;
    std::unordered_set<fs::EntryRef> seen{folder};
    for (fs::EntryRef child = adapter.firstChild(folder); child != fs::kNoEntry && seen.insert(child).second;
         child = adapter.nextSibling(child))
        if (adapter.isValid(child)) children.push_back(child);
    return children;
}

std::optional<fs::EntryRef> resolvePath(fs::FileSystemAdapter& adapter, const std::string& path) {
    fs::EntryRef current = fs::kNoEntry;
    size_t from = 0;
    while (from < path.size()) {
        size_t slash = path.find('/', from);
        if (slash == std::string::npos) slash = path.size();
        const std::string part = path.substr(from, slash - from);
        from = slash + 1;
        if (part.empty()) continue;
        if (current != fs::kNoEntry && !adapter.isFolder(current)) return std::nullopt;
        std::optional<fs::EntryRef> next;
        for (fs::EntryRef child : childrenOf(adapter, current))
            if (adapter.name(child) == part) {
                next = child;
                break;
            }
        if (!next) return std::nullopt;
        current = *next;
    }
    return current;
}

}  // namespace vdrec::cli
