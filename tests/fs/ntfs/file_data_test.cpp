#include <gtest/gtest.h>

#include "fs/ntfs/patched_volume.h"
#include "fs/ntfs/record_builder.h"

namespace vdrec::fs::ntfs {
namespace {

using test::mappingPairs;
using test::PatchedVolume;
using test::RecordBuilder;

constexpr uint64_t kCluster = PatchedVolume::kClusterBytes;
constexpr uint64_t kFileRecord = 64;  // p1.txt's slot, rewritten by each test

std::vector<uint8_t> clusterPattern(uint64_t cluster) {
    std::vector<uint8_t> data(kCluster);
    for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(cluster * 7 + k / 16);
    return data;
}

// The bytes a file made of `clusters` holds, cut to `size`.
std::vector<uint8_t> expectedBytes(const std::vector<uint64_t>& clusters, size_t size) {
    std::vector<uint8_t> out;
    for (uint64_t c : clusters) {
        const auto data = clusterPattern(c);
        out.insert(out.end(), data.begin(), data.end());
    }
    out.resize(size);
    return out;
}

RecordBuilder fileRecord(uint32_t number = kFileRecord) {
    RecordBuilder builder(1, number);
    builder.standardInformation(0, 0, 0);
    return builder;
}

TEST(FileData, GathersEveryExtentOfAFragmentedFileInVcnOrder) {
    PatchedVolume volume;
    for (uint64_t c : {800, 802, 803, 900, 901, 902, 950, 951}) volume.putCluster(c, clusterPattern(c));
    const uint64_t size = 7 * kCluster + 1000;
    // The first extent stays in the base record beside the list; the list names the others out
    // of order, plus a named stream that is not the file's data.
    volume.putRecord(kFileRecord, fileRecord()
                                      .attributeList({{0x10, 0, kFileRecord},
                                                      {0x30, 0, kFileRecord},
                                                      {0x80, 0, kFileRecord},
                                                      {0x80, 6, 18},
                                                      {0x80, 3, 17},
                                                      {0x80, 0, 19, 15}})
                                      .fileName(5, u"fragmented.bin", 1)
                                      .nonResidentData(mappingPairs({{800, 1}, {802, 2}}), 0, 2, size, size)
                                      .bytes());
    volume.putRecord(17, RecordBuilder(1, 17).baseRecord(kFileRecord).nonResidentData(mappingPairs({{900, 3}}), 3, 5, 0, 0).bytes());
    volume.putRecord(18, RecordBuilder(1, 18).baseRecord(kFileRecord).nonResidentData(mappingPairs({{950, 2}}), 6, 7, 0, 0).bytes());
    volume.putRecord(19, RecordBuilder(1, 19).baseRecord(kFileRecord)
                             .nonResidentData(mappingPairs({{700, 1}}), 0, 0, 26, 26, 0, u"Zone.Identifier").bytes());
    auto parsed = volume.scan();
    const EntryRef file = parsed->find("fragmented.bin");
    ASSERT_NE(file, kNoEntry);
    CopyResult result;
    EXPECT_EQ(parsed->save(file, &result), expectedBytes({800, 802, 803, 900, 901, 902, 950, 951}, size));
    EXPECT_EQ(result.status, CopyStatus::Ok);
    EXPECT_EQ(parsed->adapter.listTexts(file).size, formatSize(size));
}

TEST(FileData, SavesOnlyTheUnnamedDataStream) {
    struct Case {
        const char* what;
        RecordBuilder record;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"named resident stream first",
         fileRecord().fileName(5, u"f", 1).residentData({'z', 'o', 'n', 'e'}, u"Zone.Identifier").residentData({'d', 'a', 't', 'a'}),
         {'d', 'a', 't', 'a'}},
        {"named non-resident stream first",
         fileRecord().fileName(5, u"f", 1)
             .nonResidentData(mappingPairs({{801, 1}}), 0, 0, 100, 100, 0, u"Zone.Identifier")
             .nonResidentData(mappingPairs({{800, 1}}), 0, 0, 300, 300),
         expectedBytes({800}, 300)},
        {"only a named stream", fileRecord().fileName(5, u"f", 1).residentData({'z'}, u"Zone.Identifier"), {}},
    };
    for (auto& c : cases) {
        PatchedVolume volume;
        volume.putCluster(800, clusterPattern(800));
        volume.putCluster(801, clusterPattern(801));
        volume.putRecord(kFileRecord, c.record.bytes());
        auto parsed = volume.scan();
        const EntryRef file = parsed->find("f");
        ASSERT_NE(file, kNoEntry) << c.what;
        EXPECT_EQ(parsed->save(file), c.expected) << c.what;
        EXPECT_EQ(parsed->adapter.listTexts(file).size, formatSize(c.expected.size())) << c.what;
    }
}

TEST(FileData, WritesZerosPastTheInitializedSize) {
    PatchedVolume volume;
    volume.putCluster(800, clusterPattern(800));
    volume.putCluster(801, clusterPattern(801));
    volume.putRecord(kFileRecord, fileRecord().fileName(5, u"f", 1).nonResidentData(mappingPairs({{800, 2}}), 0, 1, 8000, 5000).bytes());
    auto parsed = volume.scan();
    auto expected = expectedBytes({800, 801}, 8000);
    std::fill(expected.begin() + 5000, expected.end(), 0);
    EXPECT_EQ(parsed->save(parsed->find("f")), expected);
}

TEST(FileData, SparseRunsComeOutAsZeros) {
    PatchedVolume volume;
    volume.putCluster(800, clusterPattern(800));
    volume.putRecord(kFileRecord, fileRecord().fileName(5, u"f", 1)
                                      .nonResidentData(mappingPairs({{-1, 3}, {800, 1}}), 0, 3, 4 * kCluster - 10, 4 * kCluster - 10,
                                                       0x8000)
                                      .bytes());
    auto parsed = volume.scan();
    auto expected = std::vector<uint8_t>(3 * kCluster, 0);
    const auto tail = expectedBytes({800}, kCluster - 10);
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(parsed->save(parsed->find("f")), expected);
}

// One compression unit: "abcabcabc" in a compressed chunk, the rest of the unit a hole.
std::vector<uint8_t> compressedCluster() {
    std::vector<uint8_t> data(kCluster);
    const uint8_t chunk[] = {0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x03, 0x20};
    std::copy(std::begin(chunk), std::end(chunk), data.begin());
    return data;
}

TEST(FileData, DecompressesWhenAnyCompressionBitIsSetAndDistrustsTheUnitField) {
    struct Case {
        const char* what;
        uint16_t flags;
        uint16_t unitField;
    } cases[] = {{"compressed", 0x0001, 4}, {"compressed and sparse", 0x8001, 4}, {"unit field damaged", 0x0001, 31}};
    for (const auto& c : cases) {
        PatchedVolume volume;
        volume.putCluster(800, compressedCluster());
        volume.putRecord(kFileRecord, fileRecord().fileName(5, u"f", 1)
                                          .nonResidentData(mappingPairs({{800, 1}, {-1, 15}}), 0, 15, 9, 9, c.flags, u"", c.unitField)
                                          .bytes());
        auto parsed = volume.scan();
        CopyResult result;
        const auto saved = parsed->save(parsed->find("f"), &result);
        EXPECT_EQ(std::string(saved.begin(), saved.end()), "abcabcabc") << c.what;
        EXPECT_EQ(result.status, CopyStatus::Ok) << c.what;
    }
}

TEST(FileData, CopiesAUnitWithoutHolesAsStored) {
    PatchedVolume volume;
    std::vector<uint64_t> clusters;
    for (uint64_t c = 800; c < 816; ++c) {
        volume.putCluster(c, clusterPattern(c));
        clusters.push_back(c);
    }
    const uint64_t size = 16 * kCluster - 100;
    volume.putRecord(kFileRecord, fileRecord().fileName(5, u"f", 1).nonResidentData(mappingPairs({{800, 16}}), 0, 15, size, size, 1, u"", 4).bytes());
    auto parsed = volume.scan();
    EXPECT_EQ(parsed->save(parsed->find("f")), expectedBytes(clusters, size));
}

TEST(FileData, ReportsAShortCopyWhenAnExtentIsMissing) {
    PatchedVolume volume;
    volume.putCluster(800, clusterPattern(800));
    const uint64_t size = 2 * kCluster;
    // The list names an extent in record 17, which holds nothing for this file.
    volume.putRecord(kFileRecord, fileRecord()
                                      .attributeList({{0x80, 0, kFileRecord}, {0x80, 1, 17}})
                                      .fileName(5, u"f", 1)
                                      .nonResidentData(mappingPairs({{800, 1}}), 0, 0, size, size)
                                      .bytes());
    auto parsed = volume.scan();
    CopyResult result;
    auto expected = expectedBytes({800}, kCluster);
    expected.resize(size, 0);
    EXPECT_EQ(parsed->save(parsed->find("f"), &result), expected);
    EXPECT_EQ(result.status, CopyStatus::Short);
}

TEST(FileData, NeverReplacesAnExistingFile) {
    PatchedVolume volume;
    auto parsed = volume.scan();
    vdrec::test::TempDir dir;
    vdrec::test::writeFile(dir.file("p1.txt"), {'o', 'l', 'd'});
    EXPECT_EQ(parsed->adapter.saveFile(parsed->find("p1.txt"), dir.file("p1.txt")).status, CopyStatus::Failed);
    EXPECT_EQ(vdrec::test::readFile(dir.file("p1.txt")), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST(FileData, RefusesRecordsThatAreNotFileRecords) {
    PatchedVolume volume;
    auto parsed = volume.scan();
    // The record turns bad after the scan, as a torn write on a live image would leave it.
    auto record = volume.recordBytes(kFileRecord);
    std::copy_n("BAAD", 4, record.begin());
    volume.putRecord(kFileRecord, record);
    vdrec::test::writeFile(volume.path(), volume.image);
    vdrec::test::TempDir dir;
    EXPECT_EQ(parsed->adapter.saveFile(64, dir.file("x")).status, CopyStatus::Failed);
    EXPECT_EQ(parsed->sink.messages(), std::vector<std::string>{"Not a valid entry..."});
}

}  // namespace
}  // namespace vdrec::fs::ntfs
