#pragma once
// The one walk over a file system's entries: depth first in link order, each entry once. Links
// come from the disk, so a chain may loop, come back to its folder, or run into another folder's
// entries; the walk keeps one visited set and an explicit, bounded stack, so no damage can make
// it loop or exhaust the thread's stack.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fs/file_system_adapter.h"

namespace vdrec::fs {

// The valid children of `folder` in link order, each once: the chain ends at its first repeat or
// where it comes back to the folder itself, and after `maxLength` links. kNoEntry: the volume's
// root level.
std::vector<EntryRef> childChain(const FileSystemAdapter& adapter, EntryRef folder, size_t maxLength = SIZE_MAX);
// The same into `chain`, reusing its room.
void readChildChain(const FileSystemAdapter& adapter, EntryRef folder, std::vector<EntryRef>& chain,
                    size_t maxLength = SIZE_MAX);

// What the visitor wants done with the entry it was shown.
enum class WalkStep {
    Next,     // go on with its next sibling
    Descend,  // walk its children now, then go on with its next sibling
    Defer,    // show it again (deferred) once the rest of its folder has been walked
    Stop,     // end the whole walk
};

class EntryVisitor {
public:
    virtual ~EntryVisitor() = default;
    // A folder's walk begins (the starting folder's too): its children as childChain gives them,
    // before the first is visited. Entries met elsewhere before are in the chain but not visited.
    virtual void beginFolder(EntryRef folder, std::span<const EntryRef> chain) {
        (void)folder;
        (void)chain;
    }
    // Each valid entry met for the first time, and once more each entry that was deferred.
    virtual WalkStep visit(EntryRef entry, bool deferred) = 0;
    // A folder's walk ended: once for the starting folder and for every Descend, even when a
    // bound kept the walk from its children.
    virtual void endFolder(EntryRef folder) { (void)folder; }
};

struct WalkBounds {
    // Folders open at once. A folder below the deepest allowed is walked as if it were empty.
    size_t maxDepth = size_t{1} << 20;
    // Entries shown to the visitor; the walk ends once this many have been.
    uint64_t maxVisits = UINT64_MAX;
};

struct WalkEnd {
    bool stopped = false;        // the visitor asked to stop
    uint64_t visits = 0;         // entries shown, deferred ones counted again
    uint64_t foldersCutOff = 0;  // folders not walked into because of maxDepth
    bool visitsExhausted = false;
};

// Walks everything below `folder` (kNoEntry: the whole volume from its root level).
WalkEnd walkEntries(const FileSystemAdapter& adapter, EntryRef folder, EntryVisitor& visitor, WalkBounds bounds = {});

}  // namespace vdrec::fs
