// The HFS+ deep scan: catalog leaf nodes found by position in a volume whose headers are zeroed
// (tests/fixtures/make-hfsplus.sh), the block size judged from the records, linking by parent
// with an orphan folder, and records found in more than one node.

#include <sys/stat.h>

#include "fs/hfsplus/block_size.h"
#include "hfsplus_fixture.h"

namespace vdrec::fs::hfsplus {
namespace {

// The fixture's catalog: block 1 of 2 KiB blocks, 4 KiB nodes.
constexpr size_t kCatalogStart = 2048;
constexpr size_t kNodeBytes = 4096;

TEST(HfsPlusDeepScan, ListsAndSavesAVolumeWithoutHeadersAsTheStandardScanDoes) {
    const auto standard = ScannedVolume(volumeBytes()).listing();
    ASSERT_EQ(standard.size(), 211u);
    for (const char* image : {"hfsplus-noheader.iso", "hfsplus.iso"}) {
        ScannedVolume volume(volumeBytes(image), Scan::Deep);
        ASSERT_TRUE(volume.scanned) << image;
        EXPECT_EQ(volume.listing(), standard) << image;
        EXPECT_EQ(volume.parser.blockBytes(), 2048u) << image;
        // Every node is read where it was found: on an odd block, never a block early.
        ASSERT_FALSE(volume.parser.catalogLeaves().empty()) << image;
        for (uint64_t offset : volume.parser.catalogLeaves()) EXPECT_EQ(offset % kNodeBytes, kCatalogStart) << image;

        test::TempDir out;
        const EntryRef big = volume.find("docs/big.txt");
        ASSERT_NE(big, kNoEntry) << image;
        const CopyResult copied = volume.adapter.saveFile(big, out.file("big.txt"));
        EXPECT_EQ(copied.status, CopyStatus::Ok) << image;
        EXPECT_EQ(test::sha256(out.file("big.txt")), "15e2172b4dbcfc4b0601889e705bbb2e206ef33fb81afdb92bea0ab895319b50");
        struct stat info{};
        ASSERT_EQ(::stat(out.file("big.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, 1688302800) << image;  // 2023-07-02 13:00:00 UTC
    }
}

TEST(HfsPlusDeepScan, ReadsEveryLeafWhateverItsLinksSay) {
    const auto original = volumeBytes("hfsplus-noheader.iso");
    const ScannedVolume intact(original, Scan::Deep);
    const auto leaves = intact.parser.catalogLeaves();
    ASSERT_GE(leaves.size(), 3u);
    const auto nodeNumber = [](uint64_t offset) { return static_cast<uint32_t>((offset - kCatalogStart) / kNodeBytes); };
    // Every leaf links to itself; every leaf links back to the first.
    for (bool toItself : {true, false}) {
        auto bytes = original;
        for (uint64_t leaf : leaves) putBe(bytes, leaf, nodeNumber(toItself ? leaf : leaves[0]), 4);
        ScannedVolume volume(std::move(bytes), Scan::Deep);
        ASSERT_TRUE(volume.scanned);
        EXPECT_EQ(volume.listing(), intact.listing()) << toItself;
    }
}

// The record keyed (parent, name) in a catalog leaf node; index nodes repeat some keys.
std::vector<size_t> leafRecords(const std::vector<uint8_t>& v, uint32_t parent, const std::string& name) {
    std::vector<size_t> keys;
    for (size_t key : catalogRecords(v, parent, name)) {
        const size_t node = kCatalogStart + (key - kCatalogStart) / kNodeBytes * kNodeBytes;
        if (key > kCatalogStart && v[node + 8] == 0xFF) keys.push_back(key);
    }
    return keys;
}

// The folder ID of the folder record keyed (parent, name).
uint32_t folderId(const std::vector<uint8_t>& v, uint32_t parent, const std::string& name) {
    const auto keys = leafRecords(v, parent, name);
    return keys.empty() ? 0 : be32(v, recordBody(v, keys[0]) + 8);
}

TEST(HfsPlusDeepScan, EntriesWhoseParentIsLostAreListedUnderTheOrphanFolder) {
    const auto original = volumeBytes("hfsplus-noheader.iso");
    const uint32_t docs = folderId(original, kRootFolderId, "docs");
    const uint32_t deep = folderId(original, docs, "deep");
    ASSERT_NE(docs, 0u);
    ASSERT_NE(deep, 0u);
    const auto docsKey = leafRecords(original, kRootFolderId, "docs");
    ASSERT_EQ(docsKey.size(), 1u);
    struct Case {
        const char* damage;
        std::vector<std::string> listed, gone;
    } cases[] = {
        // docs's own record is unreadable: what it held has no parent.
        {"docs lost", {"ORPHAN_ENTRY/big.txt", "ORPHAN_ENTRY/deep/nested.txt"}, {"docs", "ORPHAN_ENTRY/docs"}},
        // docs and docs/deep are each other's parents: neither reaches the root.
        {"parent loop", {"ORPHAN_ENTRY/docs/big.txt", "ORPHAN_ENTRY/docs/deep/nested.txt"}, {"docs"}},
    };
    for (const Case& c : cases) {
        auto bytes = original;
        if (c.damage == std::string("docs lost")) putBe(bytes, recordBody(bytes, docsKey[0]), 9, 2);
        else putBe(bytes, docsKey[0] + 2, deep, 4);
        ScannedVolume volume(std::move(bytes), Scan::Deep);
        ASSERT_TRUE(volume.scanned) << c.damage;
        const auto listing = volume.listing();
        for (const std::string& path : c.listed) EXPECT_TRUE(listing.count(path)) << c.damage << ": " << path;
        for (const std::string& path : c.gone) EXPECT_FALSE(listing.count(path)) << c.damage << ": " << path;
        // Nothing else moved, and the orphan folder comes last in the first level.
        EXPECT_EQ(listing.at("readme.txt"), 400u) << c.damage;
        EXPECT_EQ(listing.count("many/file-0200.txt"), 1u) << c.damage;
        ASSERT_FALSE(volume.adapter.rootLevel().empty());
        EXPECT_EQ(volume.adapter.name(volume.adapter.rootLevel().back()), "ORPHAN_ENTRY") << c.damage;
        EXPECT_TRUE(volume.adapter.isFolder(volume.adapter.rootLevel().back())) << c.damage;
    }
}

TEST(HfsPlusDeepScan, ARecordFoundInTwoNodesKeepsItsMostRecentlyChangedCopy) {
    const auto original = volumeBytes("hfsplus-noheader.iso");
    const auto readme = leafRecords(original, kRootFolderId, "readme.txt");
    const auto bigKey = leafRecords(original, folderId(original, kRootFolderId, "docs"), "big.txt");
    ASSERT_EQ(readme.size(), 1u);
    ASSERT_EQ(bigKey.size(), 1u);
    const size_t node = kCatalogStart + (readme[0] - kCatalogStart) / kNodeBytes * kNodeBytes;
    // A stale copy of readme.txt's node left in docs/big.txt's data, later in the volume.
    const size_t copy = size_t{be32(original, recordBody(original, bigKey[0]) + 88 + 16)} * 2048 + 8192;
    const size_t copiedRecord = copy + (readme[0] - node);
    const uint32_t changed = be32(original, recordBody(original, readme[0]) + 20);
    const struct {
        int64_t changedBy;
        uint64_t listedSize;
    } cases[] = {{+60, 123}, {-60, 400}, {0, 400}};
    for (const auto& c : cases) {
        auto bytes = original;
        std::copy(original.begin() + node, original.begin() + node + kNodeBytes, bytes.begin() + copy);
        putBe(bytes, recordBody(bytes, copiedRecord) + 20, static_cast<uint32_t>(changed + c.changedBy), 4);
        putBe(bytes, recordBody(bytes, copiedRecord) + 88 + 4, 123, 4);  // the data fork's size, low half
        ScannedVolume volume(std::move(bytes), Scan::Deep);
        ASSERT_TRUE(volume.scanned);
        const auto listing = volume.listing();
        EXPECT_EQ(listing.at("readme.txt"), c.listedSize) << c.changedBy;
        // The node's other records, the same in both copies, are listed once.
        EXPECT_EQ(listing.size(), 211u) << c.changedBy;
    }
}

TEST(HfsPlusDeepScan, AVolumeTooSmallForANodeIsNotScanned) {
    ScannedVolume volume(std::vector<uint8_t>(4096, 0));
    EXPECT_FALSE(volume.parser.scanVolumeForNodes(0));
    EXPECT_EQ(volume.sink.statuses().back(), "BlockSize not valid .Aborting..");
    EXPECT_TRUE(volume.parser.scanVolumeForNodes(4096));
    volume.parser.readFoundCatalogNodes();
    volume.parser.linkEntries();
    EXPECT_TRUE(volume.adapter.rootLevel().empty());
}

HfsEntry file(uint64_t size, uint32_t totalBlocks, uint64_t start) {
    HfsEntry e;
    e.data.logicalSize = size;
    e.data.totalBlocks = totalBlocks;
    e.data.extents = {{start, totalBlocks}};
    return e;
}

TEST(HfsPlusBlockSize, TheSizeUnderWhichTheMostForksAreSoundIsChosen) {
    constexpr uint64_t kVolumeBytes = 8u << 20;
    const struct {
        const char* what;
        std::vector<HfsEntry> entries;
        std::optional<uint64_t> treeStart;
        uint32_t expected;
    } cases[] = {
        {"a fork's block count pins it", {file(3145733, 1537, 100), file(400, 1, 99)}, std::nullopt, 2048},
        {"5,000 bytes in two blocks", {file(5000, 2, 10)}, std::nullopt, 4096},
        {"small files fit all: the largest", {file(100, 1, 10), file(0, 0, 0)}, std::nullopt, 4096},
        {"the tree's start rules out 4,096", {file(100, 1, 10)}, 2048, 2048},
        {"an extent past the volume's end", {file(100, 1, 3000)}, std::nullopt, 2048},
        {"no files at all", {}, 512, 512},
    };
    for (const auto& c : cases) EXPECT_EQ(inferBlockBytes(c.entries, kVolumeBytes, c.treeStart), c.expected) << c.what;
}

}  // namespace
}  // namespace vdrec::fs::hfsplus
