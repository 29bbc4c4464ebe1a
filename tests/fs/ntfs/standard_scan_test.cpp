#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "fs/ntfs/ntfs_test_volume.h"
#include "support/test_support.h"

namespace vdrec::fs::ntfs {
namespace {

using test::TestVolume;

std::string text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(StandardScan, ListsAndSavesEachVolumeOfADisk) {
    struct Case {
        int64_t start;
        const char* sizeText;
        const char* file;
        const char* content;
    } cases[] = {
        {2048, "4", "p1.txt", "mbr-ext slot 1 NTFS\n"},
        {30720, "3", "l3.txt", "mbr-ext logical 3 NTFS\n"},
        {36864, "2", "p3.txt", "mbr-ext slot 3 NTFS\n"},
    };
    for (const auto& c : cases) {
        TestVolume volume(vdrec::test::fixture("mbr-ext.img"), c.start, c.sizeText);
        volume.scan();
        const auto listing = volume.listing();
        for (const char* system : {"$MFTMirr", "$LogFile", "$Volume", "$AttrDef", "$Bitmap", "$Boot", "$BadClus",
                                   "$Secure", "$UpCase", "$Extend/", "ORPHAN_ENTRY/", "$Extend/$Quota"})
            EXPECT_TRUE(contains(listing, system)) << c.start << " " << system;
        // The MFT's own file comes first, as its record does; the root is the top item itself.
        EXPECT_EQ(listing.front(), "$MFT");
        EXPECT_FALSE(contains(listing, "./"));
        const EntryRef file = volume.find(c.file);
        ASSERT_NE(file, kNoEntry) << c.file;
        EXPECT_EQ(file, 64);
        EXPECT_FALSE(volume.adapter.isDeleted(file, false));
        EXPECT_EQ(volume.adapter.listTexts(file).size, std::to_string(std::string(c.content).size()) + " Bytes");
        CopyResult result;
        EXPECT_EQ(text(volume.save(file, &result)), c.content);
        EXPECT_EQ(result.status, CopyStatus::Ok);
    }
}

TEST(StandardScan, SavesSystemFilesAsTheSleuthKitReadsThem) {
    const std::string image = vdrec::test::fixture("mbr-ext.img");
    TestVolume volume(image, 2048, "4");
    volume.scan();
    // Resident, non-resident, and a boot file whose run starts at cluster 0.
    for (const char* name : {"$MFT", "$AttrDef", "$Bitmap", "$Boot", "$UpCase", "$MFTMirr", "$LogFile"}) {
        const EntryRef entry = volume.find(name);
        ASSERT_NE(entry, kNoEntry) << name;
        const auto saved = volume.save(entry);
        EXPECT_EQ(saved, test::icat(image, 2048, uint64_t(volume.parser.recordIndex(entry)))) << name;
        EXPECT_EQ(volume.adapter.dataSize(entry), saved.size()) << name;
    }
}

TEST(StandardScan, ReportsTheStepsOnTheStatusLine) {
    TestVolume volume(vdrec::test::fixture("gpt.img"), 73728, "4");
    volume.scan();
    const auto statuses = volume.sink.statuses();
    ASSERT_GE(statuses.size(), 4u);
    EXPECT_EQ(statuses[0], "boot sector is fine.Getting run of mft entry...");
    EXPECT_EQ(statuses[1], "Got run...");
    EXPECT_EQ(statuses[2], "parsing 4 cluster of MFT run.");
    EXPECT_EQ(statuses[3], "parsing MFT entry 0...");
    // The last slot's number: after the slots come only the MFT's own name and the orphan folder.
    EXPECT_EQ(statuses.back(), "parsing MFT entry " + std::to_string(volume.parser.entryCount() - 3) + "...");
    EXPECT_NE(volume.find("p3.txt"), kNoEntry);
}

TEST(StandardScan, ListTextsShowRecordedTimesAndAttributeLetters) {
    setenv("TZ", "UTC", 1);
    tzset();
    TestVolume volume(vdrec::test::fixture("mbr-ext.img"), 2048, "4");
    volume.scan();
    const auto boot = volume.adapter.listTexts(volume.find("$Boot"));
    // Hidden and system: only the hidden letter, since "-S" stands for the sparse flag.
    EXPECT_EQ(boot.attributes, "-H");
    EXPECT_EQ(boot.size, "8.00 KB");
    const auto file = volume.adapter.listTexts(volume.find("p1.txt"));
    EXPECT_EQ(file.attributes, "-A");
    // istat: created, modified and accessed 2026-12-10 10:59:23 UTC.
    EXPECT_EQ(file.created, "12/10/2026  10:59 AM");
    EXPECT_EQ(file.modified, "12/10/2026  10:59 AM");
    EXPECT_EQ(file.accessed, "12/10/2026  10:59 AM");
}

TEST(SizeText, UsesTheListThresholds) {
    struct Case {
        uint64_t bytes;
        const char* text;
    } cases[] = {{0, "0 Bytes"},       {700, "700 Bytes"},         {1023, "1023 Bytes"},       {1024, "1.00 KB"},
                 {5000, "4.88 KB"},    {1048576, "1.00 MB"},       {1073741824, "1.00 GB"}, {5ull << 40, "5120.00 GB"}};
    for (const auto& c : cases) EXPECT_EQ(formatSize(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace vdrec::fs::ntfs
