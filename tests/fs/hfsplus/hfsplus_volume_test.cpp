// The HFS+ parser on the volume xorriso makes (see tests/fixtures/make-hfsplus.sh): what is
// listed, and catalogs damaged in the ways a walk must survive.

#include "fs/hfsplus/btree_node.h"
#include "hfsplus_fixture.h"

namespace vdrec::fs::hfsplus {
namespace {

// Where the catalog's leaf nodes lie in the volume, in chain order (the fixture's catalog is one
// extent).
struct CatalogLayout {
    size_t nodeBytes = 0;
    std::vector<size_t> leaves;  // byte offsets
};
CatalogLayout catalogLayout(const std::vector<uint8_t>& v) {
    const uint32_t blockBytes = be32(v, 1024 + 40);
    const size_t catalog = size_t{be32(v, 1024 + 272 + 16)} * blockBytes;
    CatalogLayout layout;
    layout.nodeBytes = size_t{v[catalog + 32]} << 8 | v[catalog + 33];
    for (uint32_t node = be32(v, catalog + 24); node != 0 && layout.leaves.size() < 100; node = be32(v, catalog + node * layout.nodeBytes))
        layout.leaves.push_back(catalog + node * layout.nodeBytes);
    return layout;
}

TEST(HfsPlusVolume, ListsEveryFolderAndFileWithItsSize) {
    ScannedVolume volume(volumeBytes());
    ASSERT_TRUE(volume.scanned);
    const auto listing = volume.listing();
    EXPECT_EQ(listing.size(), 11u + 200u);
    const std::pair<const char*, uint64_t> expected[] = {
        {"2020/01 report.txt", 60}, {"docs/big.txt", 3145733}, {"docs/deep/nested.txt", 2000}, {"empty.txt", 0},
        {"readme.txt", 400},        {"empty-folder", 0},       {"many/file-0200.txt", 10},
    };
    for (const auto& [path, size] : expected) {
        ASSERT_TRUE(listing.count(path)) << path;
        EXPECT_EQ(listing.at(path), size) << path;
    }
    EXPECT_GE(catalogLayout(volumeBytes()).leaves.size(), 3u);  // the walk follows a real chain
}

TEST(HfsPlusVolume, LeafChainsThatLoopEndAtTheFirstNodeMetAgain) {
    const auto original = volumeBytes();
    const CatalogLayout layout = catalogLayout(original);
    ASSERT_GE(layout.leaves.size(), 3u);
    const size_t all = ScannedVolume(original).listing().size();
    // The first leaf links to itself; the second leaf links back to the first.
    for (size_t linker : {size_t{0}, size_t{1}}) {
        auto bytes = original;
        const size_t catalog = size_t{be32(bytes, 1024 + 272 + 16)} * be32(bytes, 1024 + 40);
        const auto firstLeaf = static_cast<uint32_t>((layout.leaves[0] - catalog) / layout.nodeBytes);
        putBe(bytes, layout.leaves[linker], firstLeaf, 4);
        ScannedVolume volume(std::move(bytes));
        ASSERT_TRUE(volume.scanned) << linker;
        // The nodes before the loop are read whole; nothing past it is.
        const auto listing = volume.listing();
        EXPECT_LT(listing.size(), all) << linker;
        EXPECT_TRUE(listing.count("docs/big.txt")) << linker;
        EXPECT_TRUE(listing.count(linker == 0 ? "many/file-0005.txt" : "many/file-0019.txt")) << linker;
        EXPECT_FALSE(listing.count(linker == 0 ? "many/file-0006.txt" : "many/file-0020.txt")) << linker;
    }
}

TEST(HfsPlusVolume, RecordsThatDoNotFitTheirNodeAreSkipped) {
    auto bytes = volumeBytes();
    const CatalogLayout layout = catalogLayout(bytes);
    ASSERT_GE(layout.leaves.size(), 2u);
    // The second leaf opens with the records of many/file-0006.txt and many/file-0007.txt.
    const size_t node = layout.leaves[1];
    const size_t records = size_t{bytes[node + 10]} << 8 | bytes[node + 11];
    ASSERT_GE(records, 3u);
    // Record 0's key claims more than the node; record 1's offset points into the offsets table.
    const size_t record0 = size_t{bytes[node + layout.nodeBytes - 2]} << 8 | bytes[node + layout.nodeBytes - 1];
    putBe(bytes, node + record0, 0xFFF0, 2);
    putBe(bytes, node + layout.nodeBytes - 4, static_cast<uint32_t>(layout.nodeBytes - 2), 2);
    ScannedVolume volume(std::move(bytes));
    ASSERT_TRUE(volume.scanned);
    // The node's other records and every later node are still read.
    const auto listing = volume.listing();
    EXPECT_FALSE(listing.count("many/file-0006.txt"));
    EXPECT_FALSE(listing.count("many/file-0007.txt"));
    EXPECT_TRUE(listing.count("many/file-0008.txt"));
    EXPECT_TRUE(listing.count("many/file-0200.txt"));
    EXPECT_EQ(listing.size(), 209u);
}

TEST(HfsPlusVolume, TreeHeaderCountsBeyondWhatTheImageHoldsAreNotTrusted) {
    const auto original = volumeBytes();
    const size_t catalog = size_t{be32(original, 1024 + 272 + 16)} * be32(original, 1024 + 40);
    // The catalog's header record claims 4 billion leaf records, then 4 billion nodes too.
    for (size_t field : {size_t{14 + 6}, size_t{14 + 22}}) {
        auto bytes = original;
        putBe(bytes, catalog + field, 0xFFFFFFFF, 4);
        ScannedVolume volume(std::move(bytes));
        ASSERT_TRUE(volume.scanned) << field;
        EXPECT_EQ(volume.listing().size(), 211u) << field;
    }
}

TEST(HfsPlusVolume, NothingIsScannedWithoutAnHfsPlusHeader) {
    struct Case {
        size_t at;
        uint32_t value;
        int bytes;
    } cases[] = {
        {1024, 0, 2},          // signature
        {1024 + 40, 0, 4},     // block size 0
        {1024 + 40, 8192, 4},  // block size past 4,096
        {1024 + 40, 3000, 4},  // not a power of two
    };
    for (const Case& c : cases) {
        auto bytes = volumeBytes();
        putBe(bytes, c.at, c.value, c.bytes);
        ScannedVolume volume(std::move(bytes));
        EXPECT_FALSE(volume.scanned) << c.at << " " << c.value;
        EXPECT_TRUE(volume.adapter.rootLevel().empty());
    }
}

TEST(HfsPlusNode, RecordOffsetsOutsideTheNodeAreSkipped) {
    std::vector<std::byte> node(512, std::byte{0});
    node[8] = std::byte{0xFF};  // leaf
    node[11] = std::byte{4};    // four records
    const uint16_t offsets[] = {14, 40, 600, 505};  // 600 is past the node, 505 inside the table
    for (size_t k = 0; k < 4; ++k) {
        node[512 - 2 * (k + 1)] = std::byte{static_cast<uint8_t>(offsets[k] >> 8)};
        node[512 - 2 * (k + 1) + 1] = std::byte{static_cast<uint8_t>(offsets[k])};
    }
    const auto records = nodeRecords(platform::Bytes(node.data(), node.size()));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].offset, 14u);
    EXPECT_EQ(records[0].bytes.size(), 26u);   // up to record 1
    EXPECT_EQ(records[1].bytes.size(), 464u);  // up to the offsets table
}

TEST(HfsPlusTexts, DatesAreUtcAndModesListOwnerBitsFirst) {
    EXPECT_EQ(fromHfsDate(3584390400u).seconds, 1501545600);  // 2017-08-01 00:00:00 UTC
    EXPECT_EQ(hfsModeText(0x1A4), "-Owner:W-Owner:R-OR-GR");
    EXPECT_EQ(hfsModeText(0x1FF), "-Owner:X-Owner:W-Owner:R-OX-OW-OR-GX-GW-GR");
    EXPECT_EQ(hfsModeText(0), "");
}

}  // namespace
}  // namespace vdrec::fs::hfsplus
