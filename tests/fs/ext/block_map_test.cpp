// Extent trees and block maps: depth, holes, uninitialised extents and broken links.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "fs/ext/block_map.h"

namespace vdrec::fs::ext {
namespace {

constexpr uint64_t kBlock = 1024;

void put16(std::byte* b, uint16_t v) {
    b[0] = std::byte(v & 0xFF);
    b[1] = std::byte(v >> 8);
}
void put32(std::byte* b, uint32_t v) {
    put16(b, static_cast<uint16_t>(v));
    put16(b + 2, static_cast<uint16_t>(v >> 16));
}

void header(std::byte* node, uint16_t entries, uint16_t depth) {
    put16(node, 0xF30A);
    put16(node + 2, entries);
    put16(node + 4, 4);
    put16(node + 6, depth);
}
void extent(std::byte* node, size_t k, uint32_t logical, uint16_t length, uint64_t start) {
    std::byte* e = node + 12 + k * 12;
    put32(e, logical);
    put16(e + 4, length);
    put16(e + 6, static_cast<uint16_t>(start >> 32));
    put32(e + 8, static_cast<uint32_t>(start));
}
void index(std::byte* node, size_t k, uint32_t logical, uint64_t child) {
    std::byte* e = node + 12 + k * 12;
    put32(e, logical);
    put32(e + 4, static_cast<uint32_t>(child));
    put16(e + 8, static_cast<uint16_t>(child >> 32));
}

struct Disk {
    std::map<uint64_t, std::vector<std::byte>> blocks;
    BlockReader reader() {
        return [this](uint64_t block, std::vector<std::byte>& into) {
            const auto it = blocks.find(block);
            if (it == blocks.end()) return false;
            into = it->second;
            return true;
        };
    }
    std::byte* block(uint64_t number) {
        auto& b = blocks[number];
        b.assign(kBlock, std::byte{0});
        return b.data();
    }
};

Inode extentInode() {
    Inode inode;
    inode.flags = 0x80000;
    return inode;
}

std::vector<BlockRun> runs(const BlockMap& map) { return map.runs; }

TEST(ExtBlockMap, WalksIndexNodesOfADepthOneTree) {
    Disk disk;
    Inode inode = extentInode();
    header(inode.blockField.data(), 2, 1);
    index(inode.blockField.data(), 0, 0, 500);
    index(inode.blockField.data(), 1, 10, 501);
    std::byte* leafA = disk.block(500);
    header(leafA, 2, 0);
    extent(leafA, 0, 0, 2, 1000);
    extent(leafA, 1, 4, 1, 1010);
    std::byte* leafB = disk.block(501);
    header(leafB, 1, 0);
    extent(leafB, 0, 10, 3, (uint64_t{2} << 32) + 7);  // high start bits
    const BlockMap map = mapExtents(inode, {kBlock, uint64_t{3} << 32, 13}, disk.reader());
    EXPECT_TRUE(map.complete);
    const std::vector<BlockRun> expected = {
        {0, 1000, 2, false}, {4, 1010, 1, false}, {10, (uint64_t{2} << 32) + 7, 3, false}};
    EXPECT_EQ(runs(map), expected);
}

TEST(ExtBlockMap, UninitialisedExtentsAreUnwrittenWithTheirTrueLength) {
    Disk disk;
    Inode inode = extentInode();
    header(inode.blockField.data(), 2, 0);
    extent(inode.blockField.data(), 0, 0, 1, 200);
    extent(inode.blockField.data(), 1, 1, 32768 + 5, 300);
    const BlockMap map = mapExtents(inode, {kBlock, 1000, 6}, disk.reader());
    const std::vector<BlockRun> expected = {{0, 200, 1, false}, {1, 300, 5, true}};
    EXPECT_EQ(runs(map), expected);
    EXPECT_TRUE(map.complete);
}

TEST(ExtBlockMap, BrokenTreesEndIncompleteInsteadOfReadingMetadataAsData) {
    struct Case {
        const char* what;
        uint16_t childDepth;
        bool childMagic;
        uint64_t childBlock;
    };
    const Case cases[] = {
        {"child of the wrong depth", 1, true, 500},
        {"child without the magic", 0, false, 500},
        {"child past the volume", 0, true, 5000},
        {"child that is the node itself", 1, true, 500},
    };
    for (const Case& c : cases) {
        Disk disk;
        Inode inode = extentInode();
        header(inode.blockField.data(), 1, 2);
        index(inode.blockField.data(), 0, 0, 500);
        std::byte* mid = disk.block(500);
        header(mid, 1, 1);
        index(mid, 0, 0, c.what == cases[3].what ? 500 : 501);
        std::byte* leaf = disk.block(501);
        header(leaf, 1, c.childDepth);
        if (!c.childMagic) put16(leaf, 0);
        extent(leaf, 0, 0, 1, 700);
        if (c.childBlock != 500) index(mid, 0, 0, c.childBlock);
        const BlockMap map = mapExtents(inode, {kBlock, 1000, 4}, disk.reader());
        EXPECT_FALSE(map.complete) << c.what;
        EXPECT_TRUE(map.runs.empty()) << c.what;
    }
}

TEST(ExtBlockMap, RejectsDepthsAboveFiveAndCountsPastTheNode) {
    Disk disk;
    Inode deep = extentInode();
    header(deep.blockField.data(), 1, 6);
    EXPECT_FALSE(mapExtents(deep, {kBlock, 1000, 4}, disk.reader()).complete);
    Inode crowded = extentInode();
    header(crowded.blockField.data(), 5, 0);  // the inode holds four entries at most
    EXPECT_FALSE(mapExtents(crowded, {kBlock, 1000, 4}, disk.reader()).complete);
}

TEST(ExtBlockMap, BlockMapsKeepTheLogicalPlaceOfDataAfterHoles) {
    Disk disk;
    Inode inode;
    put32(inode.blockField.data() + 0 * 4, 100);
    put32(inode.blockField.data() + 1 * 4, 101);
    // 2..11 are holes; the single-indirect block maps logical 12 onward.
    put32(inode.blockField.data() + 12 * 4, 400);
    std::byte* single = disk.block(400);
    put32(single + 3 * 4, 150);  // logical 15
    // The double-indirect block starts at 12 + 256.
    put32(inode.blockField.data() + 13 * 4, 401);
    put32(disk.block(401) + 1 * 4, 402);
    put32(disk.block(402) + 2 * 4, 160);  // logical 268 + 256 + 2
    const BlockMap map = mapIndirect(inode, {kBlock, 1000, 600}, disk.reader());
    EXPECT_TRUE(map.complete);
    const std::vector<BlockRun> expected = {{0, 100, 2, false}, {15, 150, 1, false}, {526, 160, 1, false}};
    EXPECT_EQ(runs(map), expected);
}

TEST(ExtBlockMap, BlockMapsStopAtTheSizeAndReportBadPointers) {
    Disk disk;
    Inode inode;
    put32(inode.blockField.data(), 100);
    put32(inode.blockField.data() + 4, 5000);  // past the volume
    put32(inode.blockField.data() + 8, 102);
    const BlockMap shortened = mapIndirect(inode, {kBlock, 1000, 1}, disk.reader());
    EXPECT_TRUE(shortened.complete);
    EXPECT_EQ(shortened.runs.size(), 1u);
    const BlockMap whole = mapIndirect(inode, {kBlock, 1000, 3}, disk.reader());
    EXPECT_FALSE(whole.complete);
    const std::vector<BlockRun> expected = {{0, 100, 1, false}, {2, 102, 1, false}};
    EXPECT_EQ(runs(whole), expected);
}

}  // namespace
}  // namespace vdrec::fs::ext
