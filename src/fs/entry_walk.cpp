#include "fs/entry_walk.h"

#include <algorithm>
#include <utility>

#include "fs/entry_set.h"

namespace vdrec::fs {

std::vector<EntryRef> childChain(const FileSystemAdapter& adapter, EntryRef folder, size_t maxLength) {
    std::vector<EntryRef> chain;
    readChildChain(adapter, folder, chain, maxLength);
    return chain;
}

void readChildChain(const FileSystemAdapter& adapter, EntryRef folder, std::vector<EntryRef>& chain, size_t maxLength) {
    chain.clear();
    if (folder == kNoEntry) {
        for (EntryRef entry : adapter.rootLevel()) {
            if (chain.size() >= maxLength) break;
            if (adapter.isValid(entry)) chain.push_back(entry);
        }
        return;
    }
    // The chain up to its first repeat, found without a set per folder: Brent's test compares
    // each step with a mark moved at powers of two, so a loop of length L is seen within a few
    // rounds of it; the first entry met twice is then the first whose entry L steps later is
    // itself.
    EntryRef mark = kNoEntry;
    size_t markAt = 0, round = 1;
    for (EntryRef child = adapter.firstChild(folder); child != kNoEntry && child != folder && chain.size() < maxLength;
         child = adapter.nextSibling(child)) {
        if (child == mark) {
            const size_t loop = chain.size() - markAt;
            chain.push_back(child);
            size_t first = 0;
            while (chain[first] != chain[first + loop]) ++first;
            chain.resize(first + loop);
            break;
        }
        chain.push_back(child);
        if (chain.size() - markAt == round) {
            mark = child;
            markAt = chain.size() - 1;
            round *= 2;
        }
    }
    std::erase_if(chain, [&](EntryRef child) { return !adapter.isValid(child); });
}

namespace {

struct Frame {
    EntryRef folder = kNoEntry;
    std::vector<EntryRef> chain;
    size_t next = 0;
    std::vector<EntryRef> deferred;
    size_t nextDeferred = 0;
};

}  // namespace

WalkEnd walkEntries(const FileSystemAdapter& adapter, EntryRef folder, EntryVisitor& visitor, WalkBounds bounds) {
    WalkEnd end;
    EntrySet seen;
    if (folder != kNoEntry) seen.insert(folder);
    std::vector<Frame> stack;
    // Frames popped keep their buffers for the next folder: a walk allocates per depth, not per folder.
    std::vector<Frame> spare;
    auto open = [&](EntryRef entry) {
        Frame frame;
        if (!spare.empty()) {
            frame = std::move(spare.back());
            spare.pop_back();
        }
        frame.folder = entry;
        frame.next = frame.nextDeferred = 0;
        frame.deferred.clear();
        readChildChain(adapter, entry, frame.chain);
        stack.push_back(std::move(frame));
        visitor.beginFolder(entry, stack.back().chain);
    };
    auto close = [&] {
        const EntryRef closed = stack.back().folder;
        spare.push_back(std::move(stack.back()));
        stack.pop_back();
        visitor.endFolder(closed);
    };

    open(folder);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        EntryRef entry = kNoEntry;
        bool deferred = false;
        if (frame.next < frame.chain.size()) {
            entry = frame.chain[frame.next++];
            if (!seen.insert(entry)) continue;
        } else if (frame.nextDeferred < frame.deferred.size()) {
            entry = frame.deferred[frame.nextDeferred++];
            deferred = true;
        } else {
            close();
            continue;
        }
        if (end.visits >= bounds.maxVisits) {
            end.visitsExhausted = true;
            break;
        }
        ++end.visits;
        const WalkStep step = visitor.visit(entry, deferred);
        if (step == WalkStep::Stop) {
            end.stopped = true;
            break;
        }
        if (step == WalkStep::Defer && !deferred) {
            frame.deferred.push_back(entry);
        } else if (step == WalkStep::Descend) {
            if (stack.size() >= bounds.maxDepth) {
                ++end.foldersCutOff;
                visitor.endFolder(entry);
            } else {
                open(entry);
            }
        }
    }
    // A walk ended early still closes what it opened, innermost first.
    while (!stack.empty()) close();
    return end;
}

}  // namespace vdrec::fs
