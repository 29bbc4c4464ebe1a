#include <gtest/gtest.h>

#include <algorithm>

#include "fs/ntfs/patched_volume.h"
#include "fs/ntfs/record_builder.h"

namespace vdrec::fs::ntfs {
namespace {

using test::mappingPairs;
using test::PatchedVolume;
using test::RecordBuilder;

std::vector<std::string> childNames(const test::TestVolume& volume, EntryRef folder) {
    std::vector<std::string> names;
    for (EntryRef c = volume.adapter.firstChild(folder); c != kNoEntry; c = volume.adapter.nextSibling(c))
        names.push_back(volume.adapter.name(c));
    return names;
}

std::vector<std::string> rootNames(const test::TestVolume& volume) {
    std::vector<std::string> names;
    for (EntryRef e : volume.adapter.rootLevel()) names.push_back(volume.adapter.name(e));
    return names;
}

std::vector<uint8_t> named(uint32_t number, uint64_t parent, const std::u16string& name, uint16_t flags = 1,
                           uint32_t fileAttributes = 0x20) {
    return RecordBuilder(flags, number).standardInformation(0, 0, 0).fileName(parent, name, 1, fileAttributes).bytes();
}

TEST(Tree, PutsEntriesWithoutAUsableParentInTheOrphanFolderLastFoundFirst) {
    PatchedVolume volume;
    volume.putRecord(16, named(16, 64, u"parent-is-a-later-file.txt"));
    volume.putRecord(65, named(65, 5, u"gone.txt", 0));
    volume.putRecord(66, named(66, 64, u"parent-is-an-earlier-file.txt"));
    volume.putRecord(67, named(67, 900, u"parent-beyond-the-mft.txt"));
    auto parsed = volume.scan();
    const auto root = rootNames(*parsed);
    EXPECT_EQ(root.back(), "ORPHAN_ENTRY");
    EXPECT_NE(std::find(root.begin(), root.end(), "gone.txt"), root.end());
    EXPECT_EQ(childNames(*parsed, parsed->find("ORPHAN_ENTRY")),
              (std::vector<std::string>{"parent-beyond-the-mft.txt", "parent-is-an-earlier-file.txt", "parent-is-a-later-file.txt"}));
    EXPECT_TRUE(parsed->adapter.isDeleted(parsed->find("gone.txt"), false));
    EXPECT_FALSE(parsed->adapter.isDeleted(parsed->find("ORPHAN_ENTRY"), false));
    EXPECT_FALSE(parsed->adapter.isDeleted(parsed->find("p1.txt"), false));
}

TEST(Tree, KeepsDeletedFoldersWithTheirChildrenInRecordOrder) {
    PatchedVolume volume;
    volume.putRecord(16, named(16, 5, u"old folder", 2, 0x10000000));
    volume.putRecord(17, named(17, 16, u"b.txt", 0));
    volume.putRecord(18, named(18, 16, u"a.txt", 0));
    auto parsed = volume.scan();
    const EntryRef folder = parsed->find("old folder");
    ASSERT_NE(folder, kNoEntry);
    EXPECT_TRUE(parsed->adapter.isFolder(folder));
    EXPECT_TRUE(parsed->adapter.isDeleted(folder, false));
    EXPECT_EQ(parsed->adapter.saveKind(folder), SaveKind::Folder);
    EXPECT_EQ(childNames(*parsed, folder), (std::vector<std::string>{"b.txt", "a.txt"}));
}

TEST(Tree, ReadsAFragmentedMftWhole) {
    PatchedVolume volume;
    // Record 0 keeps clusters 4-13 of the MFT; record 17 holds the extent with clusters 14-20,
    // where p1.txt (record 64, cluster 20) lies.
    const uint64_t mftBytes = 17 * PatchedVolume::kClusterBytes;
    volume.putRecord(0, RecordBuilder(1, 0)
                            .standardInformation(0, 0, 0)
                            .attributeList({{0x10, 0, 0}, {0x30, 0, 0}, {0x80, 0, 0}, {0x80, 10, 17}})
                            .fileName(5, u"$MFT", 3, 0x06)
                            .nonResidentData(mappingPairs({{4, 10}}), 0, 9, mftBytes, mftBytes)
                            .bytes());
    volume.putRecord(17, RecordBuilder(1, 17).baseRecord(0).nonResidentData(mappingPairs({{14, 7}}), 10, 16, 0, 0).bytes());
    auto parsed = volume.scan();
    EXPECT_EQ(parsed->parser.entryCount(), 68u + 1);
    const EntryRef file = parsed->find("p1.txt");
    ASSERT_NE(file, kNoEntry);
    EXPECT_EQ(parsed->save(file), (std::vector<uint8_t>{'m', 'b', 'r', '-', 'e', 'x', 't', ' ', 's', 'l', 'o', 't', ' ', '1', ' ',
                                                        'N', 'T', 'F', 'S', '\n'}));
}

TEST(Tree, FindsTheMftByScanningWhenTheBootSectorIsDamaged) {
    PatchedVolume volume;
    volume.patch(3, {'X', 'X', 'X', 'X'});
    auto parsed = volume.scan();
    const auto statuses = parsed->sink.statuses();
    ASSERT_GE(statuses.size(), 3u);
    EXPECT_EQ(statuses[0], "boot sector corrupt.Scanning for first mft entry...");
    EXPECT_EQ(statuses[1], "found mft entry.getting its run ...");
    EXPECT_EQ(statuses[2], "got run ...");
    EXPECT_NE(parsed->find("p1.txt"), kNoEntry);
    EXPECT_NE(parsed->find("$Extend/$Quota"), kNoEntry);
}

TEST(DeepScan, PlacesEachFileInTheFolderRecordFoundBeforeIt) {
    PatchedVolume volume;
    auto parsed = volume.scan(NtfsVolume::kDeep);
    EXPECT_EQ(rootNames(*parsed), std::vector<std::string>{"ORPHAN_ENTRY"});
    const EntryRef orphans = parsed->find("ORPHAN_ENTRY");
    const auto top = childNames(*parsed, orphans);
    // The first record found, the MFT's own, is shown too.
    EXPECT_EQ(top.front(), "$Extend");
    EXPECT_EQ(top.back(), "$MFT");
    const auto inExtend = childNames(*parsed, parsed->find("ORPHAN_ENTRY/$Extend"));
    EXPECT_NE(std::find(inExtend.begin(), inExtend.end(), "p1.txt"), inExtend.end());
    const EntryRef file = parsed->find("ORPHAN_ENTRY/$Extend/p1.txt");
    ASSERT_NE(file, kNoEntry);
    EXPECT_EQ(parsed->save(file).size(), 20u);
    EXPECT_EQ(parsed->sink.lastStatus().rfind("MFT ENTRY ", 0), 0u);
}

TEST(DeepScan, ShowsTheOrphanFolderWhenTheRootRecordIsGone) {
    PatchedVolume volume;
    volume.putRecord(5, std::vector<uint8_t>(1024, 0));
    auto parsed = volume.scan(NtfsVolume::kDeep);
    EXPECT_EQ(rootNames(*parsed), std::vector<std::string>{"ORPHAN_ENTRY"});
    EXPECT_NE(parsed->find("ORPHAN_ENTRY/$Extend/p1.txt"), kNoEntry);
}

TEST(DeepScan, FallsBackTo4096ByteClustersWhenTheBootSectorsAreUnusable) {
    for (uint8_t sectorsPerCluster : {0, 3, 0xE0}) {
        PatchedVolume volume;
        volume.patch(0x0D, {sectorsPerCluster});
        auto parsed = volume.scan(NtfsVolume::kDeep);
        EXPECT_EQ(parsed->parser.clusterBytes, 4096u) << int(sectorsPerCluster);
        const auto statuses = parsed->sink.statuses();
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), "cluster size in boot sector is not valid.Using 4096 bytes per cluster..."),
                  statuses.end());
        const EntryRef boot = parsed->find("ORPHAN_ENTRY/$Boot");
        ASSERT_NE(boot, kNoEntry);
        // $Boot: clusters 0 and 1, patched byte included.
        EXPECT_EQ(parsed->save(boot), std::vector<uint8_t>(volume.image.begin(), volume.image.begin() + 8192));
    }
}

TEST(AdvancedScan, FindsTheMftAnchorAndParsesFromIt) {
    const std::string image = vdrec::test::fixture("mbr-ext.img");
    test::TestVolume volume(image, 2048, "4");
    EXPECT_EQ(volume.advanced(0, 8), 1);
    ASSERT_EQ(volume.parser.anchors().size(), 1u);
    EXPECT_EQ(volume.parser.anchors()[0].text, "MFT_ENTRY:0");
    EXPECT_EQ(volume.parser.anchors()[0].sector, 4u * 8);
    const auto statuses = volume.sink.statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "MFT ENTRY 8 Found.Parsing it ..."), statuses.end());
    EXPECT_NE(volume.find("p1.txt"), kNoEntry);
    EXPECT_EQ(volume.save(volume.find("p1.txt")).size(), 20u);
}

TEST(AdvancedScan, MirrorRecordsAloneGiveNoAnchor) {
    PatchedVolume volume;
    // Records 1 to 6 damaged: record 0 is then not seven candidates before $Boot.
    for (uint64_t record = 1; record <= 6; ++record) {
        auto bytes = volume.recordBytes(record);
        std::copy_n("BAAD", 4, bytes.begin());
        volume.putRecord(record, bytes);
    }
    vdrec::test::writeFile(volume.path(), volume.image);
    test::TestVolume parsed(volume.path(), 0, "4");
    EXPECT_EQ(parsed.advanced(0, 8), 0);
    EXPECT_TRUE(parsed.adapter.rootLevel().size() <= 1);
}

}  // namespace
}  // namespace vdrec::fs::ntfs
