#pragma once
// The deep scan's search of raw volume bytes for B-tree nodes: catalog leaf nodes and the
// catalog and extents-overflow header nodes, kept by their byte position in the volume. Nothing
// here follows a node link; damaged trees cost only the nodes that no longer look like nodes.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/byte_reader.h"

namespace vdrec::fs::hfsplus {

// Node sizes a B-tree may have: powers of two from 512 to 32,768.
inline constexpr size_t kMinNodeBytes = 512;
inline constexpr size_t kMaxNodeBytes = 32768;
// Nodes start on 512-byte boundaries of the volume whatever the block size.
inline constexpr uint64_t kNodeSearchStep = 512;

// A leaf-node candidate: its byte position and the node sizes whose offsets table it fits
// (bit k: 512 << k).
struct FoundLeaf {
    uint64_t offset = 0;
    uint8_t nodeSizes = 0;
};

struct FoundHeader {
    uint64_t offset = 0;
    uint16_t nodeBytes = 0;
    uint32_t totalNodes = 0;
};

struct FoundNodes {
    std::vector<FoundLeaf> leaves;            // in volume order
    std::optional<FoundHeader> catalogHeader;  // the first of each met
    std::optional<FoundHeader> extentsHeader;
};

// True when a node of `nodeBytes` starting at `node` has a sound offsets table: record 0 at
// byte 14, every offset inside the records area and the free-space offset after them.
bool offsetsTableFits(platform::Bytes node, size_t nodeBytes);

// Examines every 512-byte position of `chunk` below `examinedBytes` (the chunk reaches a node
// further, so a node starting near its end is seen whole); `chunkOffset` is the chunk's byte
// position in the volume.
void searchNodes(platform::Bytes chunk, uint64_t chunkOffset, size_t examinedBytes, FoundNodes& found);

// The catalog's node size: its header node's when one was found, else the size most leaf
// candidates fit at their smallest; 0 when there are none.
size_t catalogNodeBytes(const FoundNodes& found);

// The leaves that fit `nodeBytes`, each starting past the end of the one before.
std::vector<uint64_t> leavesOfSize(const FoundNodes& found, size_t nodeBytes);

}  // namespace vdrec::fs::hfsplus
