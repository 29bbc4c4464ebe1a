#include "fs/hfsplus/block_size.h"

namespace vdrec::fs::hfsplus {

namespace {

constexpr uint32_t kCandidateBlockBytes[] = {4096, 2048, 1024, 512};

bool soundUnder(const Fork& fork, uint64_t blockBytes, uint64_t volumeBlocks) {
    if (fork.logicalSize == 0 || fork.extents.empty()) return false;
    if ((fork.logicalSize + blockBytes - 1) / blockBytes != fork.totalBlocks) return false;
    for (const Extent& e : fork.extents)
        if (e.startBlock > volumeBlocks || e.blockCount > volumeBlocks - e.startBlock) return false;
    return true;
}

}  // namespace

uint32_t inferBlockBytes(std::span<const HfsEntry> entries, uint64_t volumeBytes, std::optional<uint64_t> treeStart) {
    uint32_t best = 0;
    size_t bestScore = 0;
    for (uint32_t blockBytes : kCandidateBlockBytes) {
        if (treeStart && *treeStart % blockBytes != 0) continue;
        size_t score = 0;
        for (const HfsEntry& e : entries)
            if (!e.folder && soundUnder(e.data, blockBytes, volumeBytes / blockBytes)) ++score;
        // Candidates come largest first: a later one must do strictly better.
        if (best == 0 || score > bestScore) {
            best = blockBytes;
            bestScore = score;
        }
    }
    return best;
}

}  // namespace vdrec::fs::hfsplus
