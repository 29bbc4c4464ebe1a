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
    EXPECT_EQ(rootNames(*parsed).front(), "$MFT");
    EXPECT_EQ(parsed->adapter.listTexts(parsed->find("$MFT")).size, "68.00 KB");
    const EntryRef file = parsed->find("p1.txt");
    ASSERT_NE(file, kNoEntry);
    EXPECT_EQ(parsed->save(file), (std::vector<uint8_t>{'m', 'b', 'r', '-', 'e', 'x', 't', ' ', 's', 'l', 'o', 't', ' ', '1', ' ',
                                                        'N', 'T', 'F', 'S', '\n'}));
}

// An MFT grown through fragmented free space: record 0 keeps clusters 4-13 and an attribute list;
// its file name and the extent with clusters 14-20 (where p1.txt, record 64, lies) moved to
// record 17.
void fragmentMftWithItsNameInRecord17(PatchedVolume& volume) {
    const uint64_t mftBytes = 17 * PatchedVolume::kClusterBytes;
    volume.putRecord(0, RecordBuilder(1, 0)
                            .standardInformation(133000000000000000, 133000000000000000, 133000000000000000)
                            .attributeList({{0x10, 0, 0, 0, 0}, {0x30, 0, 17, 0, 0}, {0x80, 0, 0, 0, 2}, {0x80, 10, 17, 0, 1}})
                            .nonResidentData(mappingPairs({{4, 10}}), 0, 9, mftBytes, mftBytes)
                            .bytes());
    volume.putRecord(17, RecordBuilder(1, 17)
                             .baseRecord(0)
                             .fileName(5, u"$MFT", 3, 0x06)
                             .nonResidentData(mappingPairs({{14, 7}}), 10, 16, 0, 0)
                             .bytes());
}

TEST(Tree, ReadsAnMftWhoseOwnNameLivesInAnExtensionRecordInEveryMode) {
    const struct {
        const char* label;
        int mode;
        bool bootSector;
    } cases[] = {{"standard", NtfsVolume::kStandard, true},
                 {"standard without boot sector", NtfsVolume::kStandard, false},
                 {"deep", NtfsVolume::kDeep, true},
                 {"deep without boot sector", NtfsVolume::kDeep, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        PatchedVolume volume;
        fragmentMftWithItsNameInRecord17(volume);
        if (!c.bootSector) volume.patch(3, {'X', 'X', 'X', 'X'});
        auto parsed = volume.scan(c.mode);
        const auto root = rootNames(*parsed);
        EXPECT_EQ(root.front(), "$MFT");
        EXPECT_EQ(std::count(root.begin(), root.end(), "$MFT"), 1);
        const ListTexts texts = parsed->adapter.listTexts(parsed->find("$MFT"));
        EXPECT_EQ(texts.size, "68.00 KB");
        EXPECT_FALSE(texts.modified.empty());
        const EntryRef file = parsed->find("p1.txt");
        ASSERT_NE(file, kNoEntry);
        EXPECT_EQ(parsed->save(file).size(), 20u);
        EXPECT_EQ(parsed->find("ORPHAN_ENTRY/p1.txt"), kNoEntry);
    }
}

TEST(AdvancedScan, FindsAnMftWhoseOwnNameLivesInAnExtensionRecord) {
    PatchedVolume volume;
    fragmentMftWithItsNameInRecord17(volume);
    volume.patch(3, {'X', 'X', 'X', 'X'});
    vdrec::test::writeFile(volume.path(), volume.image);
    test::TestVolume parsed(volume.path(), 0, "4");
    EXPECT_EQ(parsed.advanced(0, 8), 1);
    ASSERT_EQ(parsed.parser.anchors().size(), 1u);
    EXPECT_EQ(parsed.parser.anchors()[0].sector, PatchedVolume::kMftCluster * 8);
    EXPECT_EQ(parsed.save(parsed.find("p1.txt")).size(), 20u);
}

TEST(Tree, ListsEveryLongNameOfARecordAndSavesEachAsTheSameData) {
    PatchedVolume volume;
    volume.putRecord(16, RecordBuilder(1, 16)
                             .standardInformation(0, 0, 0)
                             .fileName(5, u"first name.txt", 1)
                             .fileName(5, u"FIRSTN~1.TXT", 2)
                             .fileName(17, u"second.txt", 0)
                             .residentData({'o', 'n', 'e'})
                             .bytes());
    volume.putRecord(17, named(17, 5, u"Links", 1, 0x10000000));
    // More names than fit: the attribute list sends two to record 20 (a third there is not
    // listed) and one to record 21, which now belongs to another file.
    volume.putRecord(18, RecordBuilder(1, 18)
                             .standardInformation(0, 0, 0)
                             .attributeList({{0x10, 0, 18, 0, 0}, {0x30, 0, 20, 0, 0}, {0x30, 0, 20, 0, 1},
                                             {0x30, 0, 21, 0, 0}, {0x80, 0, 18, 0, 2}})
                             .residentData({'t', 'w', 'o'})
                             .bytes());
    volume.putRecord(20, RecordBuilder(1, 20)
                             .baseRecord(18)
                             .fileName(17, u"third.txt", 1)
                             .fileName(17, u"fourth.txt", 0)
                             .fileName(17, u"not-listed.txt", 1)
                             .bytes());
    volume.putRecord(21, RecordBuilder(1, 21).baseRecord(22).fileName(17, u"foreign.txt", 1).bytes());
    for (const int mode : {NtfsVolume::kStandard, NtfsVolume::kDeep}) {
        SCOPED_TRACE(mode);
        auto parsed = volume.scan(mode);
        const auto root = rootNames(*parsed);
        EXPECT_NE(std::find(root.begin(), root.end(), "first name.txt"), root.end());
        EXPECT_EQ(std::find(root.begin(), root.end(), "FIRSTN~1.TXT"), root.end());
        EXPECT_EQ(childNames(*parsed, parsed->find("Links")),
                  (std::vector<std::string>{"second.txt", "third.txt", "fourth.txt"}));
        EXPECT_TRUE(childNames(*parsed, parsed->find("ORPHAN_ENTRY")).empty());
        for (const char* path : {"first name.txt", "Links/second.txt"})
            EXPECT_EQ(parsed->save(parsed->find(path)), (std::vector<uint8_t>{'o', 'n', 'e'})) << path;
        for (const char* path : {"Links/third.txt", "Links/fourth.txt"}) {
            EXPECT_EQ(parsed->save(parsed->find(path)), (std::vector<uint8_t>{'t', 'w', 'o'})) << path;
            EXPECT_EQ(parsed->adapter.listTexts(parsed->find(path)).size, "3 Bytes") << path;
        }
    }
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

TEST(DeepScan, ListsAnIntactVolumeAsTheStandardScanDoes) {
    PatchedVolume volume;
    auto deep = volume.scan(NtfsVolume::kDeep);
    auto standard = volume.scan();
    // The MFT mirror's copies of records 0 to 3 are not listed a second time.
    EXPECT_EQ(deep->listing(), standard->listing());
    const EntryRef file = deep->find("p1.txt");
    ASSERT_NE(file, kNoEntry);
    EXPECT_EQ(deep->save(file).size(), 20u);
    EXPECT_EQ(deep->sink.lastStatus().rfind("MFT ENTRY ", 0), 0u);
}

TEST(DeepScan, LinksRecordsByTheirOwnNumbersWhateverOrderTheyAreFoundIn) {
    PatchedVolume volume;
    volume.patch(3, {'X', 'X', 'X', 'X'});
    // Found before its folder, and two slots after the $Extend folder record.
    volume.putRecord(16, named(16, 17, u"inside.txt"));
    volume.putRecord(17, named(17, 5, u"Folder", 1, 0x10000000));
    volume.putRecord(18, named(18, 19, u"A", 1, 0x10000000));
    volume.putRecord(19, named(19, 18, u"B", 1, 0x10000000));
    volume.putRecord(20, named(20, 60000, u"lost.txt"));
    volume.putRecord(21, named(21, 64, u"parent-is-a-file.txt"));
    auto parsed = volume.scan(NtfsVolume::kDeep);
    EXPECT_EQ(childNames(*parsed, parsed->find("Folder")), std::vector<std::string>{"inside.txt"});
    EXPECT_EQ(rootNames(*parsed).back(), "ORPHAN_ENTRY");
    // A loop of folders is cut where it closes, so both stay in reach.
    EXPECT_EQ(childNames(*parsed, parsed->find("ORPHAN_ENTRY")),
              (std::vector<std::string>{"parent-is-a-file.txt", "lost.txt", "B"}));
    EXPECT_NE(parsed->find("ORPHAN_ENTRY/B/A"), kNoEntry);
}

TEST(DeepScan, ShowsTheOrphanFolderWhenTheRootRecordIsGone) {
    PatchedVolume volume;
    volume.putRecord(5, std::vector<uint8_t>(1024, 0));
    auto parsed = volume.scan(NtfsVolume::kDeep);
    EXPECT_EQ(rootNames(*parsed), std::vector<std::string>{"ORPHAN_ENTRY"});
    EXPECT_NE(parsed->find("ORPHAN_ENTRY/p1.txt"), kNoEntry);
    EXPECT_NE(parsed->find("ORPHAN_ENTRY/$Extend/$Quota"), kNoEntry);
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
        const EntryRef boot = parsed->find("$Boot");
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
