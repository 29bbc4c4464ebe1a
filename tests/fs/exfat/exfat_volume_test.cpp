// The exFAT parser on volumes made by mkfs.exfat and filled through exfat-fuse (see
// tests/fixtures/make-exfat.sh): what is listed, what is saved, and the advanced rebuild.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>

#include "fs/exfat/exfat_adapter.h"
#include "fs/exfat/exfat_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::fs::exfat {
namespace {

struct Listed {
    bool folder = false;
    bool deleted = false;
    uint64_t size = 0;
    std::string modified, attributes;
    EntryRef entry = kNoEntry;
};

struct ScannedVolume {
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader{state, sink};
    ExfatVolume parser{sink};
    ExfatAdapter adapter{parser};

    explicit ScannedVolume(std::vector<uint8_t> bytes) {
        const std::string sizeText = std::to_string(bytes.size() >> 20);
        EXPECT_TRUE(reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::move(bytes))));
        parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), vdrec::test::listedBytes(sizeText));
    }
    bool standard() {
        if (!parser.checkBootSector()) return false;
        parser.walkRootDirectory();
        parser.linkChildren();
        return true;
    }
    void advanced(size_t fatAnchor, size_t heapAnchor, int clusterShift) {
        parser.checkBootSector();
        parser.findFatAnchors(3);
        parser.findHeapAnchors(3);
        ASSERT_LT(fatAnchor, parser.fatAnchors().size());
        ASSERT_LT(heapAnchor, parser.heapAnchors().size());
        ASSERT_TRUE(parser.prepareAdvanced(parser.fatAnchors()[fatAnchor], parser.heapAnchors()[heapAnchor], clusterShift));
        parser.scanForCandidates();
        parser.buildFromCandidates();
        parser.linkChildren();
    }
    std::map<std::string, Listed> listing() {
        std::map<std::string, Listed> out;
        std::vector<std::pair<EntryRef, std::string>> pending;
        for (EntryRef entry : adapter.rootLevel()) pending.push_back({entry, ""});
        while (!pending.empty() && out.size() < 100000) {
            auto [entry, prefix] = pending.back();
            pending.pop_back();
            const std::string path = prefix + adapter.name(entry);
            const ListTexts texts = adapter.listTexts(entry);
            out[path] = {adapter.isFolder(entry), adapter.isDeleted(entry, false), adapter.dataSize(entry), texts.modified,
                         texts.attributes, entry};
            for (EntryRef child = adapter.firstChild(entry); child != kNoEntry; child = adapter.nextSibling(child))
                pending.push_back({child, path + "/"});
        }
        return out;
    }
};

std::vector<uint8_t> image(const std::string& name) { return test::readFile(test::fixture(name)); }

std::string numberedLines(const std::string& tag, int first, int last) {
    std::string text;
    char line[16];
    for (int k = first; k <= last; ++k) {
        std::snprintf(line, sizeof line, " line %05d\n", k);
        text += tag + line;
    }
    return text;
}

std::string fileText(const std::string& path) {
    const auto bytes = test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

size_t countPrefix(const std::map<std::string, Listed>& listed, const std::string& prefix) {
    size_t count = 0;
    for (const auto& [path, entry] : listed)
        if (path.rfind(prefix, 0) == 0 && !entry.deleted) ++count;
    return count;
}

TEST(ExfatVolume, ListsARootAndAFolderSpanningSeveralClustersWhole) {
    ScannedVolume volume(image("exfat.img"));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    // 210 root files and 300 in Many: both folders run over several clusters of a FAT chain,
    // and entry sets straddle cluster ends.
    EXPECT_EQ(countPrefix(listed, "root-"), 210u);
    EXPECT_EQ(countPrefix(listed, "Many/item-"), 300u);
    // Contiguous folders have no FAT chain: all three clusters are read in a row.
    EXPECT_EQ(countPrefix(listed, "Contiguous/empty-"), 100u);
    for (const char* path : {"root-001.txt", "root-210.txt", "Many/item-001.txt", "Many/item-300.txt"}) {
        ASSERT_TRUE(listed.count(path)) << path;
        EXPECT_EQ(listed.at(path).size, 22u) << path;
    }
    EXPECT_TRUE(listed.at("Many").folder);
    EXPECT_TRUE(listed.count("Docs/Reports/2024/q1.txt"));
}

TEST(ExfatVolume, ListsNamesOf1To255CharactersAndDeletedSets) {
    ScannedVolume volume(image("exfat.img"));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    for (const char* name : {"a", "fifteen-chars.x", "sixteen-chars.xy", "R\xC3\xA9sum\xC3\xA9 \xE2\x80\x93 final.txt"})
        EXPECT_TRUE(listed.count(name)) << name;
    size_t longNames = 0;
    for (const auto& [path, entry] : listed)
        if (path.rfind("name-of-exactly-255-", 0) == 0) {
            EXPECT_EQ(path.size(), 255u);
            ++longNames;
        }
    EXPECT_EQ(longNames, 1u);
    for (const char* deleted : {"deleted-one.txt", "Deleted Long Name File.txt", "Old/DELMANY.BIN", "Frag/gap2.tmp"}) {
        ASSERT_TRUE(listed.count(deleted)) << deleted;
        EXPECT_TRUE(listed.at(deleted).deleted) << deleted;
    }
    EXPECT_FALSE(listed.at("Old").deleted);
}

TEST(ExfatVolume, ListsTimesWithTheirUtcOffsetApplied) {
    setenv("TZ", "UTC", 1);
    tzset();
    ScannedVolume volume(image("exfat.img"));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    // Stored as 17:30 Tokyo time with an offset of +9 h.
    EXPECT_EQ(listed.at("a").modified, "01/15/2023  08:30 AM");
    EXPECT_EQ(listed.at("Docs/Reports/2024/q1.txt").modified, "04/02/2024  09:15 AM");
    EXPECT_EQ(listed.at("Frag/fragmented.txt").attributes, "-A");
    EXPECT_EQ(volume.adapter.listTexts(listed.at("multi-cluster.txt").entry).size, "24.41 KB");
}

TEST(ExfatVolume, SavesLiveDeletedAndFragmentedFilesWithTheirBytesAndModificationTime) {
    ScannedVolume volume(image("exfat.img"));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    test::TempDir out;
    const struct {
        const char* path;
        std::string content;
        int64_t modified;  // seconds since 1970, UTC
    } cases[] = {
        {"a", numberedLines("a", 1, 3), 1673771400},
        {"multi-cluster.txt", numberedLines("multi-cluster", 1, 1000), 1675573504},
        {"Frag/fragmented.txt", numberedLines("fragmented", 1, 1500), 1688256000},
        {"Docs/Reports/2024/q1.txt", numberedLines("Q1 2024", 1, 300), 1712049300},
        {"Many/item-300.txt", "many entry 300 of 300\n", 1690848600},
        {"empty.txt", "", 1675382400},
        // Deleted and contiguous: no FAT needed, the clusters were not reused.
        {"Deleted Long Name File.txt", numberedLines("Deleted Long Name File", 1, 300), 1696154402},
        {"deleted-one.txt", numberedLines("deleted-one", 1, 10), 1696154400},
        // DataLength bytes: the valid data, then zeros where nothing valid was written.
        {"prealloc.bin", numberedLines("preallocated", 1, 800).substr(0, 5000) + std::string(14200, '\0'), 1675753628},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(listed.count(c.path)) << c.path;
        const std::string destination = out.file(std::to_string(listed.at(c.path).entry));
        const CopyResult result = volume.adapter.saveFile(listed.at(c.path).entry, destination);
        EXPECT_EQ(result.status, CopyStatus::Ok) << c.path;
        EXPECT_EQ(result.bytesWritten, c.content.size()) << c.path;
        EXPECT_EQ(fileText(destination), c.content) << c.path;
        struct stat info{};
        ASSERT_EQ(::stat(destination.c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
    }
    EXPECT_EQ(listed.at("prealloc.bin").size, 19200u);
}

// The File entry of the set whose first name entry reads `name` (ASCII).
size_t setPosition(const std::vector<uint8_t>& bytes, const std::string& name) {
    std::string pattern = "\xC1";
    std::string units;
    for (char c : name) units += std::string{c, '\0'};
    for (size_t at = 64; at + 2 + units.size() <= bytes.size(); at += kEntryBytes)
        if (bytes[at] == 0xC1 && std::equal(units.begin(), units.end(), bytes.begin() + static_cast<ptrdiff_t>(at + 2)))
            return at - 64;
    return 0;
}

TEST(ExfatVolume, ADeletedFolderWhoseClustersWereReusedLeavesThemToTheLiveFolder) {
    auto bytes = image("exfat.img");
    const size_t docs = setPosition(bytes, "Docs"), many = setPosition(bytes, "Many");
    ASSERT_TRUE(docs != 0 && many != 0 && docs < many);
    // Docs, listed before Many, becomes a deleted folder that once held Many's clusters.
    bytes[docs] = 0x05, bytes[docs + 32] = 0x40, bytes[docs + 64] = 0x41;
    std::copy_n(bytes.begin() + static_cast<ptrdiff_t>(many + 32), 32, bytes.begin() + static_cast<ptrdiff_t>(docs + 32));
    bytes[docs + 32] = 0x40;
    ScannedVolume volume(std::move(bytes));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    EXPECT_EQ(countPrefix(listed, "Many/item-"), 300u);
    ASSERT_TRUE(listed.count("Many"));
    EXPECT_FALSE(listed.at("Many").deleted);
}

TEST(ExfatVolume, RefusesBootSectorsWithShiftsOutOfRange) {
    const struct {
        size_t offset;
        uint8_t value;
    } cases[] = {{108, 8}, {108, 13}, {109, 17}, {109, 200}};
    for (const auto& c : cases) {
        auto bytes = image("exfat.img");
        bytes[c.offset] = c.value;
        ScannedVolume volume(std::move(bytes));
        EXPECT_FALSE(volume.parser.checkBootSector()) << c.offset << " " << int(c.value);
    }
}

TEST(ExfatVolume, ABootSectorClaimingMoreThanTheVolumeHoldsReadsNoFurther) {
    auto bytes = image("exfat.img");
    for (size_t k = 72; k < 80; ++k) bytes[k] = 0x7F;  // VolumeLength
    for (size_t k = 92; k < 96; ++k) bytes[k] = 0xFF;  // ClusterCount
    bytes[84] = 0xFF, bytes[85] = 0xFF;                // FatLength
    ScannedVolume volume(std::move(bytes));
    ASSERT_TRUE(volume.standard());
    // 8 MiB as the volume record says, the heap from 2 MiB on: 1536 clusters of 4 KiB.
    EXPECT_EQ(volume.parser.geometry().clusterCount, 1536u);
    EXPECT_EQ(countPrefix(volume.listing(), "root-"), 210u);
}

TEST(ExfatVolume, ARootClusterOutsideTheHeapCannotBeLoaded) {
    const uint32_t cases[] = {0, 1, 1538, 0xFFFFFFF0};  // the heap holds clusters 2 to 1537
    for (const uint32_t root : cases) {
        auto bytes = image("exfat.img");
        for (size_t k = 0; k < 4; ++k) bytes[96 + k] = static_cast<uint8_t>(root >> (8 * k));  // FirstClusterOfRootDirectory
        ScannedVolume volume(std::move(bytes));
        ASSERT_TRUE(volume.parser.checkBootSector()) << root;
        EXPECT_FALSE(volume.parser.loadRootDirectory()) << root;
    }
    ScannedVolume intact(image("exfat.img"));
    ASSERT_TRUE(intact.parser.checkBootSector());
    EXPECT_TRUE(intact.parser.loadRootDirectory());
}

TEST(ExfatVolume, AdvancedModeRebuildsAVolumeWhoseBootRegionAndBackupAreZeroed) {
    ScannedVolume volume(image("exfat-noboot.img"));
    EXPECT_FALSE(volume.parser.checkBootSector());
    volume.advanced(0, 0, 3);
    EXPECT_EQ(volume.parser.fatAnchors()[0], 2048u * 512);
    EXPECT_EQ(volume.parser.heapAnchors()[0], 4096u * 512);
    const auto listed = volume.listing();
    EXPECT_EQ(countPrefix(listed, "root-"), 210u);
    EXPECT_EQ(countPrefix(listed, "Many/item-"), 300u);
    ASSERT_TRUE(listed.count("Frag/fragmented.txt"));
    test::TempDir out;
    const std::string destination = out.file("fragmented.txt");
    EXPECT_EQ(volume.adapter.saveFile(listed.at("Frag/fragmented.txt").entry, destination).status, CopyStatus::Ok);
    EXPECT_EQ(fileText(destination), numberedLines("fragmented", 1, 1500));
    EXPECT_FALSE(listed.count("ORPHAN ENTRY")) << "nothing is lost when the root is found";
}

TEST(ExfatVolume, WithoutAnyBootSectorTheClusterShiftIsInferredFromTheRoot) {
    // Boot region and backup zeroed: the root's bitmap entry counts 1536 clusters, which fit the
    // 6 MiB after the heap's start only with 4 KiB clusters.
    ScannedVolume volume(image("exfat-noboot.img"));
    EXPECT_FALSE(volume.parser.checkBootSector());
    volume.parser.findFatAnchors(3);
    volume.parser.findHeapAnchors(3);
    EXPECT_EQ(volume.parser.bootClusterShift(), 3);
}

TEST(ExfatVolume, AdvancedModeTakesTheHeapFromAnIntactBackupBootRegion) {
    ScannedVolume volume(image("exfat-32k-noboot.img"));
    EXPECT_FALSE(volume.parser.checkBootSector());
    EXPECT_EQ(volume.parser.bootClusterShift(), 6);
    volume.advanced(0, 0, 6);
    EXPECT_EQ(volume.parser.heapAnchors()[0], 4096u * 512);
    const auto listed = volume.listing();
    ASSERT_TRUE(listed.count("Photos/album.txt"));
    test::TempDir out;
    const std::string destination = out.file("album.txt");
    EXPECT_EQ(volume.adapter.saveFile(listed.at("Photos/album.txt").entry, destination).status, CopyStatus::Ok);
    EXPECT_EQ(fileText(destination), numberedLines("album", 1, 4000));
    ASSERT_TRUE(listed.count("Photos/temp.txt"));
    EXPECT_TRUE(listed.at("Photos/temp.txt").deleted);
}

}  // namespace
}  // namespace vdrec::fs::exfat
