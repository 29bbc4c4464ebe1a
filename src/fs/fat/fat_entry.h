#pragma once
// One directory entry found by a walk or a scan, linked to its parent's child list. Names live
// in the parser's name pool.

#include <cstdint>

#include "fs/fat/directory_entry.h"

namespace vdrec::fs::fat {

inline constexpr int64_t kNoIndex = -1;
inline constexpr uint64_t kNoSlot = UINT64_MAX;

struct FatEntry {
    ShortEntry slot;               // the short entry's fields
    bool deleted = false;
    int64_t parentIndex = 0;
    int64_t firstChild = kNoIndex;
    int64_t lastChild = kNoIndex;  // tail of the child list, so linking is one step per entry
    int64_t nextSibling = kNoIndex;
    uint64_t slotOffset = kNoSlot;  // the short slot's byte offset in the volume
    uint64_t nameOffset = 0;        // into the name pool
    uint32_t nameLength = 0;        // UTF-8 bytes

    bool isFolder() const { return isFolderAttribute(slot.attributes); }
};

}  // namespace vdrec::fs::fat
