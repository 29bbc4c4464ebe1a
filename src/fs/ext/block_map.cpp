#include "fs/ext/block_map.h"

#include <algorithm>
#include <unordered_set>

namespace vdrec::fs::ext {

namespace {

constexpr uint16_t kExtentMagic = 0xF30A;
constexpr uint16_t kMaxExtentDepth = 5;
constexpr uint64_t kInitialisedExtentMax = 32768;
constexpr size_t kDirectPointers = 12;

void addRun(BlockMap& map, uint64_t logical, uint64_t physical, uint64_t count, bool unwritten) {
    if (count == 0) return;
    if (!map.runs.empty()) {
        BlockRun& last = map.runs.back();
        if (last.unwritten == unwritten && last.logical + last.count == logical && last.physical + last.count == physical) {
            last.count += count;
            return;
        }
    }
    map.runs.push_back({logical, physical, count, unwritten});
}

class ExtentWalk {
public:
    ExtentWalk(const MapLimits& limits, const BlockReader& read) : limits_(limits), read_(read) {}

    void node(platform::Bytes bytes, int expectedDepth) {
        const platform::ByteReader in(bytes);
        if (in.le16Or0(0) != kExtentMagic || !in.has(0, 12)) return fail();
        const uint16_t entries = in.le16Or0(2);
        const uint16_t depth = in.le16Or0(6);
        if (depth > kMaxExtentDepth || (expectedDepth >= 0 && depth != expectedDepth)) return fail();
        if (entries > (bytes.size() - 12) / 12) return fail();
        for (size_t k = 0; k < entries; ++k) {
            const size_t at = 12 + k * 12;
            const uint64_t logical = in.le32Or0(at);
            if (logical >= limits_.wantedBlocks) break;
            if (depth == 0) {
                leaf(logical, in.le16Or0(at + 4), in.le32Or0(at + 8) | uint64_t{in.le16Or0(at + 6)} << 32);
                continue;
            }
            const uint64_t child = in.le32Or0(at + 4) | uint64_t{in.le16Or0(at + 8)} << 32;
            // Each node is read once: a tree pointing back into itself ends there.
            if (child >= limits_.volumeBlocks || !visited_.insert(child).second) {
                fail();
                continue;
            }
            std::vector<std::byte> block;
            if (!read_(child, block)) {
                fail();
                continue;
            }
            node(platform::Bytes(block.data(), block.size()), depth - 1);
        }
    }

    BlockMap result() {
        std::sort(map_.runs.begin(), map_.runs.end(), [](const BlockRun& a, const BlockRun& b) { return a.logical < b.logical; });
        return std::move(map_);
    }

private:
    void fail() { map_.complete = false; }

    void leaf(uint64_t logical, uint64_t length, uint64_t physical) {
        bool unwritten = false;
        if (length > kInitialisedExtentMax) {
            length -= kInitialisedExtentMax;
            unwritten = true;
        }
        length = std::min(length, limits_.wantedBlocks - logical);
        if (!unwritten && (physical >= limits_.volumeBlocks || length > limits_.volumeBlocks - physical)) return fail();
        addRun(map_, logical, physical, length, unwritten);
    }

    const MapLimits& limits_;
    const BlockReader& read_;
    BlockMap map_;
    std::unordered_set<uint64_t> visited_;
};

class IndirectWalk {
public:
    IndirectWalk(const MapLimits& limits, const BlockReader& read)
        : limits_(limits), read_(read), perBlock_(limits.blockBytes / 4), budget_(limits.volumeBlocks) {}

    // The pointer `pointer` maps `level` levels of indirection starting at logical block `logical`.
    void pointer(uint64_t pointer, int level, uint64_t logical) {
        if (pointer == 0 || logical >= limits_.wantedBlocks) return;  // a hole
        if (pointer >= limits_.volumeBlocks) return fail();
        if (level == 0) return addRun(map_, logical, pointer, 1, false);
        // Every indirect block read costs budget: a map naming blocks over and over ends.
        if (budget_ == 0) return fail();
        --budget_;
        std::vector<std::byte> block;
        if (!read_(pointer, block)) return fail();
        const platform::ByteReader in(platform::Bytes(block.data(), block.size()));
        const uint64_t span = spanOf(level - 1);
        for (uint64_t k = 0; k < perBlock_; ++k) {
            const uint64_t childLogical = logical + k * span;
            if (childLogical >= limits_.wantedBlocks) break;
            this->pointer(in.le32Or0(static_cast<size_t>(k * 4)), level - 1, childLogical);
        }
    }

    uint64_t spanOf(int level) const {
        uint64_t span = 1;
        for (int k = 0; k < level; ++k) span *= perBlock_;
        return span;
    }

    void fail() { map_.complete = false; }
    BlockMap result() { return std::move(map_); }

private:
    const MapLimits& limits_;
    const BlockReader& read_;
    uint64_t perBlock_;
    uint64_t budget_;
    BlockMap map_;
};

}  // namespace

BlockMap mapExtents(const Inode& inode, const MapLimits& limits, const BlockReader& read) {
    ExtentWalk walk(limits, read);
    walk.node(platform::Bytes(inode.blockField.data(), inode.blockField.size()), -1);
    return walk.result();
}

BlockMap mapIndirect(const Inode& inode, const MapLimits& limits, const BlockReader& read) {
    IndirectWalk walk(limits, read);
    if (limits.blockBytes < 1024) return walk.result();
    const platform::ByteReader in(platform::Bytes(inode.blockField.data(), inode.blockField.size()));
    for (size_t k = 0; k < kDirectPointers; ++k) walk.pointer(in.le32Or0(k * 4), 0, k);
    uint64_t logical = kDirectPointers;
    for (int level = 1; level <= 3; ++level) {
        walk.pointer(in.le32Or0((kDirectPointers - 1 + level) * 4), level, logical);
        logical += walk.spanOf(level);
    }
    return walk.result();
}

}  // namespace vdrec::fs::ext
