#include <gtest/gtest.h>

#include "support/test_support.h"
#include "volumes/volume_test_support.h"

namespace vdrec::volumes {
namespace {

struct ScanResult {
    std::vector<VolumeEntry> records;
    std::vector<VolumeEntry> reported;
    std::vector<std::string> statuses;
};

ScanResult advancedScan(const std::string& path, bool skip, int64_t first = 0, int64_t last = 0) {
    OpenedDisk disk(path);
    EXPECT_TRUE(disk.opened);
    Partition partition(disk.state, disk.sink);
    partition.skipFoundVolumes = skip;
    partition.firstSector = first;
    partition.lastSector = last;
    ScanResult result;
    partition.onFound = [&](const VolumeEntry& entry) { result.reported.push_back(entry); };
    partition.scanSignatures(disk.reader, result.records);
    result.statuses = disk.sink.statuses();
    return result;
}

class ZeroedTable : public ::testing::Test {
protected:
    void SetUp() override {
        auto image = test::readFile(test::fixture("mbr-ext.img"));
        std::fill_n(image.begin(), 512, 0);
        path_ = dir_.file("zeroed.img");
        test::writeFile(path_, image);
    }
    test::TempDir dir_;
    std::string path_;
};

TEST_F(ZeroedTable, FindsEveryBootSectorAndSkipsOverEachVolume) {
    const auto result = advancedScan(path_, true);
    const std::vector<Expected> expected = {
        {"NTFS", "3   MB", 2048}, {"FAT16", "4  MB", 12288}, {"NTFS", "2   MB", 30720}, {"NTFS", "1   MB", 36864}};
    EXPECT_EQ(summary(result.records), expected);
    EXPECT_EQ(summary(result.reported), expected);
    EXPECT_EQ(result.statuses.front(), "Scanning partition.....");
}

TEST_F(ZeroedTable, WithoutSkippingBackupBootSectorsAreListedToo) {
    const auto result = advancedScan(path_, false);
    const std::vector<Expected> expected = {{"NTFS", "3   MB", 2048},  {"NTFS", "3   MB", 10239},
                                            {"FAT16", "4  MB", 12288}, {"NTFS", "2   MB", 30720},
                                            {"NTFS", "2   MB", 36863}, {"NTFS", "1   MB", 36864},
                                            {"NTFS", "1   MB", 40959}};
    EXPECT_EQ(summary(result.records), expected);
}

TEST_F(ZeroedTable, RangeLimitsWhatIsExamined) {
    // From 4096 the volume at 2048 is not seen, only its backup boot sector at its end, whose
    // skip then carries the scan over the FAT16 volume.
    const std::vector<Expected> fromInside = {{"NTFS", "3   MB", 10239}};
    EXPECT_EQ(summary(advancedScan(path_, true, 4096, 20000).records), fromInside);
    const std::vector<Expected> between = {{"FAT16", "4  MB", 12288}};
    EXPECT_EQ(summary(advancedScan(path_, true, 10240, 20000).records), between);
    // The chunk holding the last sector is examined whole, nothing after it: after the skip
    // over the first volume, chunks start at 10240 and 12288.
    const std::vector<Expected> upToFat = {{"NTFS", "3   MB", 2048}, {"FAT16", "4  MB", 12288}};
    EXPECT_EQ(summary(advancedScan(path_, true, 0, 12288).records), upToFat);
    const std::vector<Expected> beforeFat = {{"NTFS", "3   MB", 2048}};
    EXPECT_EQ(summary(advancedScan(path_, true, 0, 12287).records), beforeFat);
}

TEST(AdvancedScan, Fat32BackupBootSectorIsFoundWhenNotSkipping) {
    const auto result = advancedScan(test::fixture("gpt.img"), false, 0, 4096);
    const std::vector<Expected> expected = {{"FAT32", "34  MB", 2048}, {"FAT32", "34  MB", 2054}};
    EXPECT_EQ(summary(result.records), expected);
}

TEST(AdvancedScan, ExaminesTheLastPartialMegabyteOfTheDisk) {
    // A disk whose only NTFS boot sector lies in its last, shorter-than-1-MiB chunk.
    auto image = test::readFile(test::fixture("mbr-ext.img"));
    std::vector<uint8_t> disk(3 * 1024 * 1024 + 512 * 10, 0);
    std::copy_n(image.begin() + 36864 * 512, 512, disk.begin() + 3 * 1024 * 1024 + 512 * 4);
    test::TempDir dir;
    test::writeFile(dir.file("tail.img"), disk);
    const auto result = advancedScan(dir.file("tail.img"), true);
    const std::vector<Expected> expected = {{"NTFS", "1   MB", 6148}};
    EXPECT_EQ(summary(result.records), expected);
}

TEST(AdvancedScan, StopEndsTheScanWithItsStatus) {
    OpenedDisk disk(test::fixture("gpt.img"));
    Partition partition(disk.state, disk.sink);
    std::vector<VolumeEntry> records;
    partition.onFound = [&](const VolumeEntry&) { partition.stopRequested = true; };
    partition.skipFoundVolumes = false;
    partition.scanSignatures(disk.reader, records);
    EXPECT_EQ(records.size(), 1u);
    EXPECT_EQ(disk.sink.lastStatus(), "Scanned Partitions");
}

}  // namespace
}  // namespace vdrec::volumes
