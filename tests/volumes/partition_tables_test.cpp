#include <gtest/gtest.h>

#include <functional>

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
    if (statusOut != nullptr) {
        for (const auto& s : disk.sink.statuses()) statusOut->status(s);
        for (const auto& m : disk.sink.messages()) statusOut->message(m);
    }
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
    std::vector<VolumeEntry> scanPatched(platform::RecordingSink* statusOut = nullptr) {
        test::writeFile(dir_.file("disk.img"), image_);
        return scan(dir_.file("disk.img"), false, statusOut);
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
        disk[sector * 512 + 510] = 0x55;
        disk[sector * 512 + 511] = 0xAA;
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

TEST_F(PatchedMbr, SectorWithoutTheBootSignatureIsNoTableAndTheScanSaysSo) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> patch;
    };
    const Case cases[] = {
        {"random first sector",
         [](auto& image) {
             uint32_t x = 2463534242u;  // xorshift: the same bytes every run
             for (size_t k = 0; k < 512; ++k) {
                 x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                 image[k] = static_cast<uint8_t>(x);
             }
             image[511] = 0x00;
         }},
        {"table intact, signature wiped", [](auto& image) { image[510] = image[511] = 0; }},
        {"signature bytes swapped", [](auto& image) { image[510] = 0xAA, image[511] = 0x55; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        image_ = test::readFile(test::fixture("mbr-ext.img"));
        c.patch(image_);
        platform::RecordingSink seen;
        EXPECT_TRUE(scanPatched(&seen).empty());
        EXPECT_EQ(seen.messages(), std::vector<std::string>{std::string(kNoPartitionTable)});
        EXPECT_TRUE(seen.statuses().empty());
    }
}

TEST_F(PatchedMbr, ExtendedBootRecordWithoutTheSignatureEndsTheChainQuietly) {
    image_[20480 * 512 + 510] = 0;
    platform::RecordingSink seen;
    const auto records = scanPatched(&seen);
    const std::vector<Expected> expected = {{"NTFS", "4   MB", 2048}, {"FAT16", "4   MB", 12288}};
    EXPECT_EQ(summary(records), expected);
    EXPECT_TRUE(seen.messages().empty());
}

TEST_F(PatchedMbr, EntriesStartingPastTheDiskEndAreListedAsSuchAndNeverRead) {
    // A primary NTFS entry at 0xFFFFFF00 spanning 0xFFFFFFFF sectors, and a logical one whose
    // start lands past the 49152 sectors of the disk.
    test::putLe32(image_, slotField(0, 0, 8), 0xFFFFFF00);
    test::putLe32(image_, slotField(0, 0, 12), 0xFFFFFFFF);
    test::putLe32(image_, slotField(20480, 0, 8), 40000);
    platform::RecordingSink seen;
    const auto records = scanPatched(&seen);
    const std::vector<Expected> expected = {{"NTFS", std::string(kPastDiskEnd), 0xFFFFFF00},
                                            {"FAT16", "4   MB", 12288},
                                            {"extX", std::string(kPastDiskEnd), 60480},
                                            {"NTFS", "3   MB", 30720}};
    EXPECT_EQ(summary(records), expected);
    EXPECT_TRUE(seen.messages().empty());
}

TEST_F(PatchedMbr, EntryRunningPastTheDiskEndIsListedWithItsTableSize) {
    test::putLe32(image_, slotField(0, 0, 12), 0xFFFFFFFF);
    const auto records = scanPatched();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(summary(records).front(), (Expected{"NTFS", "2097151   MB", 2048}));
}

TEST(StandardScan, GptBoxOnADiskWithoutAGptHeaderFindsNoTable) {
    auto image = test::readFile(test::fixture("gpt.img"));
    image[512] = 'X';  // "EFI PART" gone
    test::TempDir dir;
    test::writeFile(dir.file("gpt.img"), image);
    platform::RecordingSink seen;
    EXPECT_TRUE(scan(dir.file("gpt.img"), true, &seen).empty());
    EXPECT_EQ(seen.messages(), std::vector<std::string>{std::string(kNoPartitionTable)});
}

TEST(StandardScan, GptEntryPastTheDiskEndIsListedAsSuchAndTheRestFollow) {
    auto image = test::readFile(test::fixture("gpt.img"));
    test::putLe64(image, 2 * 512 + 32, 1ull << 40);
    test::TempDir dir;
    test::writeFile(dir.file("gpt.img"), image);
    const std::vector<Expected> expected = {{"EFI system partition", std::string(kPastDiskEnd), int64_t{1} << 40},
                                            {"NTFS", "3   MB", 73728},
                                            {"linuxdata", "2", 81920}};
    EXPECT_EQ(summary(scan(dir.file("gpt.img"), true)), expected);
}

TEST(StandardScan, GptEntryArrayBeyondTheDiskEndsTheScan) {
    auto image = test::readFile(test::fixture("gpt.img"));
    test::TempDir dir;
    test::putLe64(image, 512 + 72, 1ull << 62);
    test::writeFile(dir.file("gpt.img"), image);
    EXPECT_TRUE(scan(dir.file("gpt.img"), true).empty());
}

}  // namespace
}  // namespace vdrec::volumes
