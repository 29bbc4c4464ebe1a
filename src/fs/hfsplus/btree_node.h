#pragma once
// HFS+ B-tree nodes: the descriptor, the header record and each record's bytes, every one
// bounded by the node so a damaged node yields fewer records, never a read past it.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/byte_reader.h"

namespace vdrec::fs::hfsplus {

inline constexpr int8_t kLeafNode = -1;
inline constexpr int8_t kHeaderNode = 1;
inline constexpr size_t kNodeDescriptorBytes = 14;

struct NodeDescriptor {
    uint32_t forwardLink = 0;
    int8_t kind = 0;
    uint16_t recordCount = 0;
};

struct TreeHeader {
    uint32_t leafRecords = 0;
    uint32_t firstLeafNode = 0;
    uint16_t nodeBytes = 0;
    uint32_t totalNodes = 0;
};

std::optional<NodeDescriptor> decodeNodeDescriptor(platform::Bytes node);
// The header record of node 0; nullopt unless the node size is a power of two of 512 to 32,768.
std::optional<TreeHeader> decodeTreeHeader(platform::Bytes node);

// One record: its bytes from its offset up to the next record's start (or the node's free
// space), so nothing read through it reaches another record's offsets table.
struct NodeRecord {
    size_t offset = 0;
    platform::Bytes bytes;
};
// The records of a node whose offsets lie inside the node past the descriptor; others skipped.
std::vector<NodeRecord> nodeRecords(platform::Bytes node);

}  // namespace vdrec::fs::hfsplus
