#include "fs/hfsplus/btree_node.h"

#include <algorithm>

namespace vdrec::fs::hfsplus {

std::optional<NodeDescriptor> decodeNodeDescriptor(platform::Bytes node) {
    const platform::ByteReader in(node);
    if (!in.has(0, kNodeDescriptorBytes)) return std::nullopt;
    NodeDescriptor d;
    d.forwardLink = in.be32Or0(0);
    d.kind = static_cast<int8_t>(in.u8Or0(8));
    d.recordCount = in.be16Or0(10);
    return d;
}

std::optional<TreeHeader> decodeTreeHeader(platform::Bytes node) {
    const platform::ByteReader in(node);
    const auto descriptor = decodeNodeDescriptor(node);
    if (!descriptor || descriptor->kind != kHeaderNode || !in.has(kNodeDescriptorBytes, 106)) return std::nullopt;
    TreeHeader h;
    h.leafRecords = in.be32Or0(kNodeDescriptorBytes + 6);
    h.firstLeafNode = in.be32Or0(kNodeDescriptorBytes + 10);
    h.nodeBytes = in.be16Or0(kNodeDescriptorBytes + 18);
    h.totalNodes = in.be32Or0(kNodeDescriptorBytes + 22);
    if (h.nodeBytes < 512 || (h.nodeBytes & (h.nodeBytes - 1)) != 0) return std::nullopt;
    return h;
}

std::vector<NodeRecord> nodeRecords(platform::Bytes node) {
    std::vector<NodeRecord> records;
    const platform::ByteReader in(node);
    const auto descriptor = decodeNodeDescriptor(node);
    if (!descriptor) return records;
    // The offsets table grows back from the node's end; records may not reach into it.
    const size_t tableBytes = size_t{2} * descriptor->recordCount;
    if (tableBytes + kNodeDescriptorBytes > node.size()) return records;
    const size_t recordsEnd = node.size() - tableBytes;
    std::vector<size_t> offsets;
    offsets.reserve(descriptor->recordCount);
    for (size_t k = 0; k < descriptor->recordCount; ++k) offsets.push_back(in.be16Or0(node.size() - 2 * (k + 1)));
    std::vector<size_t> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    for (size_t offset : offsets) {
        if (offset < kNodeDescriptorBytes || offset >= recordsEnd) continue;
        const auto next = std::upper_bound(sorted.begin(), sorted.end(), offset);
        const size_t end = next != sorted.end() && *next < recordsEnd ? *next : recordsEnd;
        records.push_back({offset, node.subspan(offset, end - offset)});
    }
    return records;
}

}  // namespace vdrec::fs::hfsplus
