// Superblock checks and group descriptors of both sizes.

#include <gtest/gtest.h>

#include <vector>

#include "fs/ext/superblock.h"

namespace vdrec::fs::ext {
namespace {

void put16(std::vector<std::byte>& b, size_t at, uint16_t v) {
    b[at] = std::byte(v & 0xFF);
    b[at + 1] = std::byte(v >> 8);
}
void put32(std::vector<std::byte>& b, size_t at, uint32_t v) {
    put16(b, at, static_cast<uint16_t>(v));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

// A 4 KiB-block volume of 4 groups of 512 blocks and 128 inodes of 256 bytes.
std::vector<std::byte> superblockBytes() {
    std::vector<std::byte> b(1024);
    put32(b, 0, 512);
    put32(b, 4, 2048);
    put32(b, 24, 2);
    put32(b, 32, 512);
    put32(b, 40, 128);
    put16(b, 56, 0xEF53);
    put32(b, 76, 1);
    put16(b, 88, 256);
    put32(b, 96, 0x2);
    return b;
}

platform::Bytes view(const std::vector<std::byte>& b) { return platform::Bytes(b.data(), b.size()); }

TEST(ExtSuperblock, ReadsTheGeometry) {
    const auto sb = decodeSuperblock(view(superblockBytes()));
    ASSERT_TRUE(sb);
    EXPECT_EQ(sb->blockBytes, 4096u);
    EXPECT_EQ(sb->groupCount(), 4u);
    EXPECT_EQ(sb->inodeBytes, 256u);
    EXPECT_EQ(sb->descriptorBytes, 32u);
    EXPECT_TRUE(sb->fileTypeInEntries);
}

TEST(ExtSuperblock, RejectsWhatNoVolumeHas) {
    struct Case {
        const char* what;
        size_t offset;
        uint32_t value;
        bool wide;
    };
    const Case cases[] = {
        {"wrong magic", 56, 0xEF52, false},
        {"16 KiB blocks", 24, 4, true},
        {"no blocks per group", 32, 0, true},
        {"more blocks per group than a bitmap maps", 32, 32769, true},
        {"inodes larger than a block", 88, 8192, false},
        {"inode size not a power of two", 88, 200, false},
        {"no inodes per group", 40, 0, true},
    };
    for (const Case& c : cases) {
        auto b = superblockBytes();
        if (c.wide) put32(b, c.offset, c.value);
        else put16(b, c.offset, static_cast<uint16_t>(c.value));
        EXPECT_FALSE(decodeSuperblock(view(b))) << c.what;
    }
}

TEST(ExtSuperblock, SixtyFourBitVolumesUseTheirDescriptorSizeAndHighTableBits) {
    auto b = superblockBytes();
    put32(b, 96, 0x2 | 0x80);
    put16(b, 254, 64);
    const auto sb = decodeSuperblock(view(b));
    ASSERT_TRUE(sb);
    ASSERT_EQ(sb->descriptorBytes, 64u);
    std::vector<std::byte> table(4 * 64);
    for (uint32_t g = 0; g < 4; ++g) put32(table, g * 64 + 8, 100 + g);
    put32(table, 3 * 64 + 40, 1);  // group 3's table lies past 2^32 blocks
    const auto groups = decodeGroupDescriptors(view(table), *sb, 4);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[1].inodeTable, 101u);
    EXPECT_EQ(groups[2].inodeTable, 102u);
    EXPECT_EQ(groups[3].inodeTable, (uint64_t{1} << 32) + 103);
}

TEST(ExtSuperblock, GroupFlagsCountOnlyWhenChecksummed) {
    std::vector<std::byte> table(32);
    put32(table, 8, 50);
    put16(table, 18, 0x1);  // inodes uninitialised
    put16(table, 28, 100);  // unused inodes
    auto b = superblockBytes();
    auto plain = decodeSuperblock(view(b));
    put32(b, 100, 0x400);  // metadata_csum
    auto checksummed = decodeSuperblock(view(b));
    ASSERT_TRUE(plain && checksummed);
    const auto unchecked = decodeGroupDescriptors(view(table), *plain, 1);
    const auto checked = decodeGroupDescriptors(view(table), *checksummed, 1);
    EXPECT_FALSE(unchecked[0].inodesUninitialised);
    EXPECT_EQ(unchecked[0].unusedInodes, 0u);
    EXPECT_TRUE(checked[0].inodesUninitialised);
    EXPECT_EQ(checked[0].unusedInodes, 100u);
}

}  // namespace
}  // namespace vdrec::fs::ext
