#include "results/name_search.h"

#include <regex>

#include "fs/entry_walk.h"
#include "platform/text_format.h"
#include "results/save_walk.h"

namespace vdrec::results {

namespace {

constexpr std::string_view kInvalidPattern =
    "such characters are not allowed for search.Try again with different pattern.";

struct InvalidPattern {};

std::regex compile(const std::string& pattern) {
    try {
        return std::regex(pattern, std::regex::ECMAScript | std::regex::icase);
    } catch (const std::regex_error&) {
        throw InvalidPattern{};
    }
}

}  // namespace

void NameSearch::addHit(const std::string& path, fs::EntryRef entry, bool deleted) {
    fs::FileSystemAdapter& adapter = model_.adapter();
    const fs::ListTexts texts = adapter.listTexts(entry);
    ListRow row;
    row.texts = {path, texts.created, texts.accessed, texts.modified, texts.size, texts.attributes};
    row.entry = entry;
    row.deletedStyle = deleted;
    model_.list.append(std::move(row));
    ++rows_;
    sink_.status(platform::format("searched file %lld", rows_));
    if (onHit) onHit({path, entry});
}

// False when the walk ended on a stop request.
bool NameSearch::searchFolder(fs::EntryRef folder, const std::string& path, const std::string& pattern) {
    fs::FileSystemAdapter& adapter = model_.adapter();
    SaveWalk counter(adapter, sink_);
    const uint64_t count = counter.countFiles(folder);
    sink_.progressRange(0, static_cast<int64_t>(count));
    const std::regex expression = compile(pattern);

    // A hit is drawn deleted as the tree would draw it when its folder is opened.
    struct Folder {
        std::string path;
        bool deleted;
    };
    struct Searcher final : fs::EntryVisitor {
        NameSearch& search;
        const fs::FileSystemAdapter& adapter;
        const std::regex& expression;
        std::vector<Folder> folders;
        bool stopped = false;

        Searcher(NameSearch& owner, const fs::FileSystemAdapter& files, const std::regex& pattern)
            : search(owner), adapter(files), expression(pattern) {}
        fs::WalkStep visit(fs::EntryRef child, bool) override {
            if (search.stopRequested) {
                stopped = true;
                return fs::WalkStep::Stop;
            }
            const Folder& folder = folders.back();
            const std::string name = adapter.name(child);
            const fs::SaveKind kind = adapter.saveKind(child);
            if (kind == fs::SaveKind::Folder) {
                if (name == ".") return fs::WalkStep::Next;
                folders.push_back(
                    {name.empty() ? folder.path : folder.path + "/" + name, adapter.isDeleted(child, false)});
                return fs::WalkStep::Descend;
            }
            if (kind == fs::SaveKind::Skipped) return fs::WalkStep::Next;
            bool matched = false;
            try {
                matched = std::regex_search(name, expression);
            } catch (const std::regex_error&) {
                // The engine gave up on this name (complexity); the folder's walk ends, the search goes on.
                return fs::WalkStep::Stop;
            }
            if (matched) search.addHit(folder.path + "/" + name, child, adapter.isDeleted(child, folder.deleted));
            return fs::WalkStep::Next;
        }
        void endFolder(fs::EntryRef) override { folders.pop_back(); }
    } searcher(*this, adapter, expression);
    searcher.folders.push_back({path, adapter.isDeleted(folder, false)});
    fs::walkEntries(adapter, folder, searcher);
    const bool stopped = searcher.stopped;
    sink_.progressPosition(static_cast<int64_t>(count));
    return !stopped;
}

void NameSearch::run(const std::string& pattern) {
    stopRequested = false;
    model_.list.clear();
    model_.listShowsSearchResults = true;
    rows_ = 0;
    CheckTree& tree = model_.tree;
    fs::FileSystemAdapter& adapter = model_.adapter();
    try {
        if (!pattern.empty() && tree.contains(model_.topItem)) {
            const std::string prefix = tree.item(model_.topItem).text;
            for (ItemId item : tree.item(model_.topItem).children) {
                if (stopRequested) break;
                const TreeItem& node = tree.item(item);
                if (!node.entry || !adapter.isValid(*node.entry)) continue;
                if (!node.children.empty()) {
                    if (adapter.saveKind(*node.entry) == fs::SaveKind::Folder &&
                        !searchFolder(*node.entry, prefix + "/" + node.text, pattern))
                        break;
                    continue;
                }
                const std::regex expression = compile(pattern);
                bool matched = false;
                try {
                    matched = std::regex_search(node.text, expression);
                } catch (const std::regex_error&) {
                }
                if (matched) addHit(prefix + "/" + node.text, *node.entry, node.deletedStyle);
            }
        }
    } catch (const InvalidPattern&) {
        sink_.message(kInvalidPattern);
        return;
    }
    sink_.message("Searching Finished");
}

}  // namespace vdrec::results
