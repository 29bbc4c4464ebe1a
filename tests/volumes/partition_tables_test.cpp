#include <gtest/gtest.h>

#include "support/test_support.h"
#include "volumes/volume_test_support.h"

namespace vdrec::volumes {
namespace {

std::vector<VolumeEntry> scan(const std::string& path, bool gpt, platform::RecordingSink* statusOut = nullptr) {
    OpenedDisk disk(path);
    EXPECT_TRUE(disk.opened);
    Partition partition(disk.state, disk.sink);
    partition.gptDisk = gpt;
    std::vector<VolumeEntry> records;
    partition.scanTables(disk.reader, records);
    if (statusOut != nullptr)
        for (const auto& s : disk.sink.statuses()) statusOut->status(s);
    EXPECT_EQ(disk.sink.positions().back(), kProgressEnd);
    return records;
}

TEST(StandardScan, ListsPrimaryAndLogicalVolumesButNothingAfterTheExtendedEntry) {
    platform::RecordingSink statuses;
    const auto records = scan(test::fixture("mbr-ext.img"), false, &statuses);
    const std::vector<Expected> expected = {
        {"NTFS", "4   MB", 2048}, {"FAT16", "4   MB", 12288}, {"extX", "3   MB", 22528}, {"NTFS", "3   MB", 30720}};
    EXPECT_EQ(summary(records), expected);
    EXPECT_EQ(records[2].label, "2");
    EXPECT_EQ(statuses.statuses(),
              (std::vector<std::string>{"found NTFS 1...", "found FAT 16...", "found extx...", "found NTFS..."}));
}

TEST(StandardScan, GptDiskListsFatNtfsAndNamedPartitionsButNotTheReservedOne) {
    const auto records = scan(test::fixture("gpt.img"), true);
    const std::vector<Expected> expected = {
        {"FAT32", "34  MB", 2048}, {"NTFS", "3   MB", 73728}, {"linuxdata", "2", 81920}};
    EXPECT_EQ(summary(records), expected);
}

TEST(StandardScan, GptDiskWithoutTheGptBoxShowsTheProtectiveEntry) {
    const auto records = scan(test::fixture("gpt.img"), false);
    const std::vector<Expected> expected = {{"Unknown", "47   MB", 1}};
    EXPECT_EQ(summary(records), expected);
}

class PatchedMbr : public ::testing::Test {
protected:
    void SetUp() override { image_ = test::readFile(test::fixture("mbr-ext.img")); }
    std::vector<VolumeEntry> scanPatched() {
        test::writeFile(dir_.file("disk.img"), image_);
        return scan(dir_.file("disk.img"), false);
    }
    // Byte offset of field `at` of table slot `slot` in the sector at `sector`.
    static size_t slotField(size_t sector, int slot, size_t at) { return sector * 512 + 446 + 16 * slot + at; }

    std::vector<uint8_t> image_;
    test::TempDir dir_;
};

TEST_F(PatchedMbr, EmptyFirstSlotListsNothing) {
    image_[slotField(0, 0, 4)] = 0;
    EXPECT_TRUE(scanPatched().empty());
}

TEST_F(PatchedMbr, LogicalType42IsUnknownAndPrimaryType42IsNtfs) {
    image_[slotField(0, 0, 4)] = 0x42;
    image_[slotField(10240, 0, 4)] = 0x42;
    const auto records = scanPatched();
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0].fileSystem, "NTFS");
    EXPECT_EQ(records[1].fileSystem, "Unknown");
}

TEST_F(PatchedMbr, ExtendedChainThatLoopsEndsAtTheFirstRevisit) {
    // The third record links back to the first (offset 0 from the extended base).
    test::putLe32(image_, slotField(28672, 1, 8), 0);
    image_[slotField(28672, 1, 4)] = 0x05;
    const auto records = scanPatched();
    EXPECT_EQ(records.size(), 4u);
}

TEST_F(PatchedMbr, ExtendedChainLinkOutsideTheDiskEndsTheChain) {
    test::putLe32(image_, slotField(20480, 1, 8), 0xFFFFFF00);
    const auto records = scanPatched();
    const std::vector<Expected> expected = {
        {"NTFS", "4   MB", 2048}, {"FAT16", "4   MB", 12288}, {"extX", "3   MB", 22528}};
    EXPECT_EQ(summary(records), expected);
}

TEST_F(PatchedMbr, ChainIsBoundedEvenWhenEveryRecordIsNew) {
    // Each record links to the next sector: a chain far longer than 50 records.
    std::vector<uint8_t> disk(2048 * 512, 0);
    auto put = [&](size_t sector, int slot, uint8_t type, uint32_t first, uint32_t count) {
        disk[slotField(sector, slot, 4)] = type;
        test::putLe32(disk, slotField(sector, slot, 8), first);
        test::putLe32(disk, slotField(sector, slot, 12), count);
    };
    put(0, 0, 0x05, 100, 1900);
    for (uint32_t k = 0; k < 1000; ++k) {
        put(100 + k, 0, 0x83, 1, 1);
        put(100 + k, 1, 0x05, k + 1, 1);
    }
    image_ = disk;
    EXPECT_EQ(scanPatched().size(), static_cast<size_t>(kMaxExtendedRecords));
}

TEST(StandardScan, GptEntriesBeyondTheDiskEndTheScan) {
    auto image = test::readFile(test::fixture("gpt.img"));
    // Entry 1 now starts past the end of the disk; entry-array LBA far beyond it in a copy.
    test::putLe64(image, 2 * 512 + 32, 1ull << 40);
    test::TempDir dir;
    test::writeFile(dir.file("gpt.img"), image);
    EXPECT_TRUE(scan(dir.file("gpt.img"), true).empty());
    test::putLe64(image, 512 + 72, 1ull << 62);
    test::writeFile(dir.file("gpt.img"), image);
    EXPECT_TRUE(scan(dir.file("gpt.img"), true).empty());
}

}  // namespace
}  // namespace vdrec::volumes
