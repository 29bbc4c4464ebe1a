#include "fs/hfsplus/node_search.h"

#include <array>

#include "fs/hfsplus/btree_node.h"

namespace vdrec::fs::hfsplus {

namespace {

// The header record's largest key length tells the trees apart.
constexpr uint16_t kCatalogMaxKeyLength = 516;
constexpr uint16_t kExtentsMaxKeyLength = 10;
constexpr size_t kMaxKeyLengthAt = kNodeDescriptorBytes + 20;
constexpr size_t kNodeSizeCount = 7;  // 512 ... 32,768

constexpr size_t nodeSizeAt(size_t bit) { return kMinNodeBytes << bit; }

}  // namespace

bool offsetsTableFits(platform::Bytes node, size_t nodeBytes) {
    if (node.size() < nodeBytes) return false;
    const platform::ByteReader in(node.first(nodeBytes));
    const uint16_t records = in.be16Or0(10);
    // The table holds one offset per record and the free space's.
    const size_t tableBytes = size_t{2} * (size_t{records} + 1);
    if (records == 0 || tableBytes + kNodeDescriptorBytes > nodeBytes) return false;
    const size_t recordsEnd = nodeBytes - tableBytes;
    if (in.be16Or0(nodeBytes - 2) != kNodeDescriptorBytes) return false;
    const size_t freeSpace = in.be16Or0(nodeBytes - tableBytes);
    if (freeSpace <= kNodeDescriptorBytes || freeSpace > recordsEnd) return false;
    for (size_t k = 1; k < records; ++k) {
        const size_t offset = in.be16Or0(nodeBytes - 2 * (k + 1));
        if (offset <= kNodeDescriptorBytes || offset >= freeSpace) return false;
    }
    return true;
}

void searchNodes(platform::Bytes chunk, uint64_t chunkOffset, size_t examinedBytes, FoundNodes& found) {
    const platform::ByteReader in(chunk);
    for (size_t at = 0; at < examinedBytes && in.has(at, kNodeDescriptorBytes); at += kNodeSearchStep) {
        const auto kind = static_cast<int8_t>(in.u8Or0(at + 8));
        const uint8_t height = in.u8Or0(at + 9);
        const platform::Bytes node = chunk.subspan(at);
        if (kind == kLeafNode && height == 1) {
            uint8_t sizes = 0;
            for (size_t bit = 0; bit < kNodeSizeCount; ++bit)
                if (offsetsTableFits(node, nodeSizeAt(bit))) sizes |= static_cast<uint8_t>(1u << bit);
            if (sizes != 0) found.leaves.push_back({chunkOffset + at, sizes});
        } else if (kind == kHeaderNode && height == 0 && in.be16Or0(at + 10) == 3) {
            const auto header = decodeTreeHeader(node);
            if (!header || header->nodeBytes > kMaxNodeBytes || !offsetsTableFits(node, header->nodeBytes)) continue;
            const uint16_t maxKey = in.be16Or0(at + kMaxKeyLengthAt);
            std::optional<FoundHeader>* slot = maxKey == kCatalogMaxKeyLength   ? &found.catalogHeader
                                               : maxKey == kExtentsMaxKeyLength ? &found.extentsHeader
                                                                                : nullptr;
            if (slot != nullptr && !*slot) *slot = FoundHeader{chunkOffset + at, header->nodeBytes, header->totalNodes};
        }
    }
}

size_t catalogNodeBytes(const FoundNodes& found) {
    if (found.catalogHeader) return found.catalogHeader->nodeBytes;
    // A node also fits the sizes of two or four nodes when the next ones are nodes too: its
    // smallest fit is its own size.
    std::array<size_t, kNodeSizeCount> votes{};
    for (const FoundLeaf& leaf : found.leaves)
        for (size_t bit = 0; bit < kNodeSizeCount; ++bit)
            if (leaf.nodeSizes & (1u << bit)) {
                ++votes[bit];
                break;
            }
    size_t best = kNodeSizeCount;
    for (size_t bit = 0; bit < kNodeSizeCount; ++bit)
        if (votes[bit] != 0 && (best == kNodeSizeCount || votes[bit] > votes[best])) best = bit;
    return best == kNodeSizeCount ? 0 : nodeSizeAt(best);
}

std::vector<uint64_t> leavesOfSize(const FoundNodes& found, size_t nodeBytes) {
    std::vector<uint64_t> leaves;
    size_t bit = 0;
    while (bit < kNodeSizeCount && nodeSizeAt(bit) != nodeBytes) ++bit;
    if (bit == kNodeSizeCount) return leaves;
    uint64_t nextFree = 0;
    for (const FoundLeaf& leaf : found.leaves) {
        // Nodes of one tree never overlap: a candidate inside the last one kept is record bytes.
        if ((leaf.nodeSizes & (1u << bit)) == 0 || leaf.offset < nextFree) continue;
        leaves.push_back(leaf.offset);
        nextFree = leaf.offset + nodeBytes;
    }
    return leaves;
}

}  // namespace vdrec::fs::hfsplus
