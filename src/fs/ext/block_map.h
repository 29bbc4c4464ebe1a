#pragma once
// Where a file's logical blocks lie: the extent tree (ext4) or the block map with its indirect
// blocks (ext2, ext3). Holes are the logical blocks no run covers.

#include <cstdint>
#include <functional>
#include <vector>

#include "fs/ext/inode.h"

namespace vdrec::fs::ext {

struct BlockRun {
    uint64_t logical = 0;   // first logical block
    uint64_t physical = 0;  // first volume block
    uint64_t count = 0;
    bool unwritten = false;  // preallocated: reads as zeros

    bool operator==(const BlockRun&) const = default;
};

struct BlockMap {
    std::vector<BlockRun> runs;  // ascending logical order
    // False when a pointer, node or block number was invalid or unreadable: data is missing.
    bool complete = true;
};

// Reads one whole block into `into` (block size bytes); false when it cannot be read.
using BlockReader = std::function<bool(uint64_t block, std::vector<std::byte>& into)>;

struct MapLimits {
    uint64_t blockBytes = 0;
    uint64_t volumeBlocks = 0;  // physical blocks at or past this are invalid
    uint64_t wantedBlocks = 0;  // logical blocks of interest (the size in blocks)
};

// Extent tree: index nodes are walked (magic, depth at most 5 and falling by one per level,
// entry counts within the node); uninitialised extents are marked unwritten.
BlockMap mapExtents(const Inode& inode, const MapLimits& limits, const BlockReader& read);
// Block map: 12 direct pointers, then single-, double- and triple-indirect blocks.
BlockMap mapIndirect(const Inode& inode, const MapLimits& limits, const BlockReader& read);
inline BlockMap mapBlocks(const Inode& inode, const MapLimits& limits, const BlockReader& read) {
    return inode.usesExtents() ? mapExtents(inode, limits, read) : mapIndirect(inode, limits, read);
}

}  // namespace vdrec::fs::ext
