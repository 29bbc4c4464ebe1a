// Deep mode: catalog leaf nodes found by position in the volume's bytes, their records, the
// block size when no header gives it, and linking by parent with an orphan folder.

#include <algorithm>
#include <cstring>

#include "fs/hfsplus/block_size.h"
#include "fs/hfsplus/btree_node.h"
#include "fs/hfsplus/hfsplus_volume.h"
#include "platform/text_format.h"

namespace vdrec::fs::hfsplus {

namespace {

constexpr uint64_t kScanChunkBytes = 16u * 1024 * 1024;
// A chunk that cannot be read whole is read in pieces of this size; unreadable ones stay zeros.
constexpr uint64_t kScanPieceBytes = 64u * 1024;

}  // namespace

bool HfsPlusVolume::scanVolumeForNodes(uint64_t volumeBytes) {
    deepMode_ = true;
    deepVolumeBytes_ = volumeBytes;
    found_ = {};
    catalogLeaves_.clear();
    catalogNodeBytes_ = 0;
    if (!volume_.attached() || volumeBytes < kMinNodeBytes || (blockBytes_ != 0 && volumeBytes < blockBytes_)) {
        sink_.status("BlockSize not valid .Aborting..");
        return false;
    }
    // The selected volume bounds every block number, also under a header's block size.
    if (blockBytes_ != 0) volumeBlocks_ = volumeBytes / blockBytes_;
    sink_.status("scanning volume for catalog nodes....");
    const uint64_t chunks = (volumeBytes + kScanChunkBytes - 1) / kScanChunkBytes;
    sink_.progressRange(0, static_cast<int64_t>(chunks));
    std::vector<std::byte> chunk, piece;
    for (uint64_t c = 0; c < chunks; ++c) {
        if (stopConsumed()) break;
        const uint64_t offset = c * kScanChunkBytes;
        const uint64_t examined = std::min(kScanChunkBytes, volumeBytes - offset);
        // One node's length more, so a node starting near the chunk's end is seen whole.
        const uint64_t length = std::min<uint64_t>(examined + kMaxNodeBytes, volumeBytes - offset);
        if (!readBytes(offset, chunk, length)) {
            chunk.assign(static_cast<size_t>(length), std::byte{0});
            for (uint64_t at = 0; at < length; at += kScanPieceBytes) {
                const uint64_t bytes = std::min(kScanPieceBytes, length - at);
                if (readBytes(offset + at, piece, bytes)) std::memcpy(chunk.data() + at, piece.data(), piece.size());
            }
        }
        searchNodes(platform::Bytes(chunk.data(), chunk.size()), offset, static_cast<size_t>(examined), found_);
        sink_.progressPosition(static_cast<int64_t>(c + 1));
    }
    catalogNodeBytes_ = catalogNodeBytes(found_);
    catalogLeaves_ = leavesOfSize(found_, catalogNodeBytes_);
    return true;
}

void HfsPlusVolume::readFoundCatalogNodes() {
    entries_.clear();
    namePool_.clear();
    sink_.status("reading catalog nodes....");
    sink_.progressRange(0, static_cast<int64_t>(catalogLeaves_.size()));
    std::vector<std::byte> node;
    for (size_t k = 0; k < catalogLeaves_.size(); ++k) {
        if (stopConsumed()) break;
        // Read where the node was found: its byte position, whatever the block size.
        if (!readBytes(catalogLeaves_[k], node, catalogNodeBytes_)) continue;
        for (const NodeRecord& record : nodeRecords(platform::Bytes(node.data(), node.size()))) readCatalogRecord(record.bytes);
        sink_.progressPosition(static_cast<int64_t>(k + 1));
    }
    keepOneEntryPerId();
    if (blockBytes_ == 0) {
        std::optional<uint64_t> treeStart;
        if (found_.catalogHeader) treeStart = found_.catalogHeader->offset;
        blockBytes_ = inferBlockBytes(entries_, deepVolumeBytes_, treeStart);
        volumeBlocks_ = deepVolumeBytes_ / blockBytes_;
    }
}

std::vector<Extent> HfsPlusVolume::foundExtentsFile() const {
    if (!found_.extentsHeader || blockBytes_ == 0 || found_.extentsHeader->offset % blockBytes_ != 0) return {};
    const uint64_t start = found_.extentsHeader->offset / blockBytes_;
    if (start >= volumeBlocks_) return {};
    const uint64_t bytes = uint64_t{found_.extentsHeader->totalNodes} * found_.extentsHeader->nodeBytes;
    const uint64_t blocks = std::min((bytes + blockBytes_ - 1) / blockBytes_, volumeBlocks_ - start);
    return blocks == 0 ? std::vector<Extent>{} : std::vector<Extent>{{start, blocks}};
}

void HfsPlusVolume::linkByParent() {
    const size_t count = entries_.size();
    sink_.progressRange(0, static_cast<int64_t>(count));
    std::vector<int64_t> parents(count, kNoIndex);
    for (size_t k = 0; k < count; ++k) {
        const HfsEntry& e = entries_[k];
        if (e.nodeId == kRootFolderId) continue;
        const int64_t p = indexOf(e.parentId);
        if (p != kNoIndex && static_cast<size_t>(p) != k && entries_[static_cast<size_t>(p)].folder) parents[k] = p;
    }
    // Damaged parent IDs can make folders each other's parents, out of the root's reach: the
    // entry where a walk up meets its own path again loses its parent and becomes an orphan.
    enum : uint8_t { kUnseen, kOnPath, kDone };
    std::vector<uint8_t> state(count, kUnseen);
    std::vector<size_t> path;
    for (size_t k = 0; k < count; ++k) {
        for (size_t at = k; state[at] != kDone;) {
            if (state[at] == kOnPath) {
                parents[at] = kNoIndex;
                break;
            }
            state[at] = kOnPath;
            path.push_back(at);
            if (parents[at] == kNoIndex) break;
            at = static_cast<size_t>(parents[at]);
        }
        for (size_t at : path) state[at] = kDone;
        path.clear();
    }
    const int64_t root = indexOf(kRootFolderId);
    const bool rootFound = root != kNoIndex && entries_[static_cast<size_t>(root)].folder;
    std::vector<int64_t> rootTops;
    int64_t orphans = kNoIndex;
    for (size_t k = 0; k < count; ++k) {
        if ((k & 0xFFF) == 0) {
            sink_.status(platform::format("Maintaining Parent Child for record %lld of %lld....", static_cast<long long>(k),
                                          static_cast<long long>(count)));
            sink_.progressPosition(static_cast<int64_t>(k + 1));
            if (stopConsumed()) break;
        }
        const auto index = static_cast<int64_t>(k);
        if (parents[k] != kNoIndex) {
            appendChild(parents[k], index);
            continue;
        }
        if (index == root) continue;
        // Without the root's record its children still make the first level.
        if (!rootFound && entries_[k].parentId == kRootFolderId) {
            rootTops.push_back(index);
            continue;
        }
        if (orphans == kNoIndex) {
            HfsEntry folder;
            folder.folder = true;
            folder.nodeId = entries_.back().nodeId == UINT32_MAX ? UINT32_MAX : entries_.back().nodeId + 1;
            entries_.push_back(folder);
            orphans = static_cast<int64_t>(entries_.size() - 1);
            rename(orphans, kOrphanFolderName);
        }
        appendChild(orphans, index);
    }
    deepRootLevel_.clear();
    if (rootFound) {
        size_t steps = 0;
        for (int64_t c = entries_[static_cast<size_t>(root)].firstChild; c != kNoIndex && steps++ < count;
             c = entries_[static_cast<size_t>(c)].nextSibling)
            deepRootLevel_.push_back(c);
    } else {
        deepRootLevel_ = std::move(rootTops);
    }
    if (orphans != kNoIndex) deepRootLevel_.push_back(orphans);
    sink_.progressPosition(static_cast<int64_t>(count));
}

}  // namespace vdrec::fs::hfsplus
