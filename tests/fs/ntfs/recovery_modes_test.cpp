// The recovery modes on the fixture volumes that real tools damaged or formatted over.

#include <gtest/gtest.h>

#include <algorithm>

#include "fs/ntfs/ntfs_test_volume.h"
#include "fs/ntfs/patched_volume.h"
#include "fs/ntfs/record_builder.h"
#include "results/results_model.h"
#include "support/test_support.h"

namespace vdrec::fs::ntfs {
namespace {

std::string text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(RecoveryModes, StandardModeWithoutBootSectorFindsTheMftAndSavesFragmentedFiles) {
    test::TestVolume noBoot(vdrec::test::fixture("ntfs-noboot.img"), 0, "12");
    noBoot.scan();
    EXPECT_EQ(noBoot.sink.statuses().front(), "boot sector corrupt.Scanning for first mft entry...");
    test::TestVolume intact(vdrec::test::fixture("ntfs-main.img"), 0, "12");
    intact.scan();
    EXPECT_EQ(noBoot.listing(), intact.listing());
    for (const char* path : {"fragmented.txt", "Compressed/text.txt", "sparse.bin", "Docs/Reports/2024/q2-summary.txt"}) {
        const EntryRef entry = noBoot.find(path);
        ASSERT_NE(entry, kNoEntry) << path;
        EXPECT_EQ(noBoot.save(entry), test::icat(vdrec::test::fixture("ntfs-main.img"), 0, uint64_t(entry))) << path;
    }
}

TEST(RecoveryModes, DeepModeRebuildsTheTreeOfAVolumeWithoutBootSector) {
    test::TestVolume volume(vdrec::test::fixture("ntfs-noboot.img"), 0, "12");
    volume.scan(NtfsVolume::kDeep);
    test::TestVolume intact(vdrec::test::fixture("ntfs-main.img"), 0, "12");
    intact.scan();
    // Every found record sits in the folder its parent number names.
    EXPECT_EQ(volume.listing(), intact.listing());
    // Resident data needs no cluster size.
    const EntryRef entry = volume.find("resident.txt");
    ASSERT_NE(entry, kNoEntry);
    EXPECT_EQ(text(volume.save(entry)).substr(0, 30), "This file is small enough to l");
}

TEST(RecoveryModes, DeepModeGivesRecycledFilesTheirNamesOnAVolumeWithoutBootSector) {
    test::PatchedVolume volume;
    volume.patch(3, {'X', 'X', 'X', 'X'});
    constexpr uint32_t kFolder = 0x10000006;  // hidden, system, index present
    // A "$I" file of layout 2: version, size, deletion time, path length, path.
    std::vector<uint8_t> index = {2, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::u16string original = u"C:\\Users\\me\\report.txt";
    const uint32_t units = uint32_t(original.size() + 1);
    for (int k = 0; k < 4; ++k) index.push_back(uint8_t(units >> (8 * k)));
    for (char16_t c : original) index.insert(index.end(), {uint8_t(c), uint8_t(c >> 8)});
    index.insert(index.end(), {0, 0});
    // The user's folder lies before the bin in record order, the files before both.
    volume.putRecord(16, test::RecordBuilder(1, 16).standardInformation(0, 0, 0).fileName(18, u"$IAB12CD.txt", 1).residentData(index).bytes());
    volume.putRecord(17, test::RecordBuilder(1, 17).standardInformation(0, 0, 0).fileName(18, u"$RAB12CD.txt", 1)
                             .residentData({'r', 'e', 'p', 'o', 'r', 't'}).bytes());
    volume.putRecord(18, test::RecordBuilder(1, 18).standardInformation(0, 0, 0).fileName(19, u"S-1-5-21-1-2-3-1001", 1, kFolder).bytes());
    volume.putRecord(19, test::RecordBuilder(1, 19).standardInformation(0, 0, 0).fileName(5, u"$RECYCLE.BIN", 1, kFolder).bytes());
    auto parsed = volume.scan(NtfsVolume::kDeep);
    results::ResultsModel model(parsed->adapter);
    model.buildTopLevel();
    model.afterScan();
    model.restoreRecycledNames();
    const EntryRef file = parsed->find("$RECYCLE.BIN/S-1-5-21-1-2-3-1001/report.txt");
    ASSERT_NE(file, kNoEntry);
    EXPECT_EQ(text(parsed->save(file)), "report");
}

TEST(RecoveryModes, DeepModeOnABootlessCopyRestoresTheRecycleBinAsTheIntactVolumeShowsIt) {
    const std::string intactImage = vdrec::test::fixture("ntfs-recycle.img");
    test::TestVolume intact(intactImage, 0, "4");
    intact.scan();
    results::ResultsModel intactModel(intact.adapter);
    intactModel.buildTopLevel();
    intactModel.restoreRecycledNames();
    test::TestVolume deep(vdrec::test::fixture("ntfs-recycle-noboot.img"), 0, "4");
    deep.scan(NtfsVolume::kDeep);
    results::ResultsModel deepModel(deep.adapter);
    deepModel.buildTopLevel();
    deepModel.restoreRecycledNames();
    EXPECT_EQ(deep.listing(), intact.listing());
    const std::string bin = "$RECYCLE.BIN/S-1-5-21-2718281828-3141592653-1618033988-1001/";
    for (const char* name : {"meeting minutes.txt", "budget 2023.xlsx", "letter.doc"}) {
        const EntryRef entry = deep.find(bin + name);
        ASSERT_NE(entry, kNoEntry) << name;
        const EntryRef known = intact.find(bin + name);
        ASSERT_NE(known, kNoEntry) << name;
        EXPECT_EQ(deep.save(entry), test::icat(intactImage, 0, uint64_t(intact.parser.recordIndex(known)))) << name;
    }
}

TEST(RecoveryModes, AnchorSearchFindsBothMftsOfAVolumeFormattedOver) {
    const std::string image = vdrec::test::fixture("ntfs-formatted-over.img");
    test::TestVolume volume(image, 0, "8");
    // The new volume has 2048-byte clusters: 4 sectors per cluster.
    EXPECT_EQ(volume.advanced(0, 4), 2);
    const auto& anchors = volume.parser.anchors();
    ASSERT_EQ(anchors.size(), 2u);
    EXPECT_EQ(anchors[0].text, "MFT_ENTRY:0");
    EXPECT_EQ(anchors[0].sector, 32u);
    EXPECT_EQ(anchors[1].text, "MFT_ENTRY:1");
    EXPECT_EQ(anchors[1].sector, 12800u + 32);
    EXPECT_EQ(text(volume.save(volume.find("new-notes.txt"))), "written to the new volume\n");
    EXPECT_EQ(volume.find("old-notes.txt"), kNoEntry);
}

TEST(RecoveryModes, ReadsVolumesWith512ByteClusters) {
    const std::string image = vdrec::test::fixture("ntfs-512.img");
    test::TestVolume volume(image, 0, "4");
    volume.scan();
    EXPECT_EQ(volume.parser.clusterBytes, 512u);
    EXPECT_EQ(text(volume.save(volume.find("hello.txt"))), "Hello from a volume with 512-byte clusters.\n");
    const EntryRef three = volume.find("Folder/three-clusters.bin");
    ASSERT_NE(three, kNoEntry);
    EXPECT_EQ(volume.save(three), test::icat(image, 0, uint64_t(three)));
    EXPECT_EQ(volume.adapter.listTexts(three).size, "1.00 KB");
}

}  // namespace
}  // namespace vdrec::fs::ntfs
