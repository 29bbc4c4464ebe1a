// The FAT16 and FAT32 parser on volumes made by mkfs.fat and filled by mtools (see
// tests/fixtures/make-fat.sh): what is listed, what is saved, and the advanced rebuild.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <memory>

#include "fs/fat/fat_adapter.h"
#include "fs/fat/fat_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::fs::fat {
namespace {

struct Listed {
    bool folder = false;
    bool deleted = false;
    uint64_t size = 0;
    std::string modified, attributes;
    EntryRef entry = kNoEntry;
    bool operator==(const Listed& other) const {
        return folder == other.folder && deleted == other.deleted && size == other.size && modified == other.modified &&
               attributes == other.attributes;
    }
};

// A volume opened from image bytes and scanned in the standard or the advanced mode.
struct ScannedVolume {
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader{state, sink};
    FatVolume parser;
    FatAdapter adapter{parser};

    ScannedVolume(FatType type, std::vector<uint8_t> bytes, bool formatted = false) : parser(type, sink) {
        const std::string sizeText = std::to_string(bytes.size() >> 20);
        EXPECT_TRUE(reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::move(bytes))));
        parser.formattedDrive = formatted;
        parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), vdrec::test::listedBytes(sizeText));
    }
    bool standard() {
        if (!parser.checkBootSector()) return false;
        parser.loadFat();
        parser.loadRootDirectory();
        parser.walkRootDirectory();
        parser.linkChildren();
        return true;
    }
    void advanced(size_t anchor, int sectorsPerCluster) {
        parser.checkBootSector();
        parser.findFatAnchors(3);
        ASSERT_TRUE(parser.prepareAdvanced(anchor, sectorsPerCluster));
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

// "TAG line 00001\n" ... as the fixture script writes its text files.
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

class FatVolumeTest : public ::testing::TestWithParam<FatType> {
protected:
    std::string fixtureName(const std::string& variant = "") const {
        return std::string(GetParam() == FatType::Fat16 ? "fat16" : "fat32") + variant + ".img";
    }
};

INSTANTIATE_TEST_SUITE_P(Fat16AndFat32, FatVolumeTest, ::testing::Values(FatType::Fat16, FatType::Fat32),
                         [](const auto& info) { return info.param == FatType::Fat16 ? "Fat16" : "Fat32"; });

TEST_P(FatVolumeTest, ListsFoldersLongerThan21ClustersWhole) {
    ScannedVolume volume(GetParam(), image(fixtureName()));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    size_t logs = 0, archive = 0;
    for (const auto& [path, entry] : listed) {
        if (path.rfind("Logs/log-", 0) == 0 && !entry.deleted) ++logs;
        if (path.rfind("Docs/Archive/Archived item ", 0) == 0 && !entry.deleted) ++archive;
    }
    EXPECT_EQ(logs, 400u);
    EXPECT_EQ(archive, 150u);
    ASSERT_TRUE(listed.count("Logs/log-0400.txt"));
    EXPECT_EQ(listed.at("Logs/log-0400.txt").size, 21u);  // "log entry 400 of 400\n"
}

TEST_P(FatVolumeTest, ShowsRootFilesAndFoldersWhateverTheirAttributes) {
    ScannedVolume volume(GetParam(), image(fixtureName()));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    const struct {
        const char* path;
        bool folder;
        const char* attributes;
    } cases[] = {{"HIDDEN.TXT", false, "-H-A"},     {"READONLY.TXT", false, "-R-A"}, {"SYSTEM.SYS", false, "-S-A"},
                 {"NOARCH.TXT", false, ""},         {"RONOARCH.TXT", false, "-R"},   {"ALLATTR.TXT", false, "-R-H-S-A"},
                 {"Hidden Folder", true, "-H"},     {"RO-DIR", true, "-R"},          {"SYSDIR", true, "-S"},
                 {"RHDIR", true, "-R-H"},           {"System Volume Information", true, "-H-S"},
                 {"Hidden Folder/inside.txt", false, "-A"}, {"Docs/Private/secret.txt", false, "-R-H-A"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(listed.count(c.path)) << c.path;
        EXPECT_EQ(listed.at(c.path).folder, c.folder) << c.path;
        EXPECT_EQ(listed.at(c.path).attributes, c.attributes) << c.path;
    }
}

TEST_P(FatVolumeTest, ListsLongNamesUpTo255CharactersAndDeletedEntries) {
    ScannedVolume volume(GetParam(), image(fixtureName()));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    size_t longNames = 0;
    for (const auto& [path, entry] : listed)
        if (path.rfind("name-of-exactly-", 0) == 0) {
            const size_t length = std::stoul(path.substr(16, 3));
            EXPECT_EQ(path.size(), length) << path;
            ++longNames;
        }
    EXPECT_EQ(longNames, 3u);  // 130, 131 and 255 characters
    for (const char* deleted : {"Deleted Long Name File.txt", "Old Stuff", "Old Stuff/Older/\xEF\xBF\xA5LD2.TXT"}) {
        ASSERT_TRUE(listed.count(deleted)) << deleted;
        EXPECT_TRUE(listed.at(deleted).deleted) << deleted;
    }
    EXPECT_FALSE(listed.at("README.TXT").deleted);
    EXPECT_EQ(listed.at("readme.md").modified, "02/01/2023  12:00 AM");  // noon, as the list shows hours 0 to 12
    EXPECT_EQ(listed.at("Mixed Case Name.txt").modified, "02/02/2023  01:14 PM");
}

TEST_P(FatVolumeTest, AVolumeNamedMsdosListsLikeOneNamedByMkfsFat) {
    ScannedVolume made(GetParam(), image(fixtureName()));
    ScannedVolume windows(GetParam(), image(fixtureName("-msdos")));
    ASSERT_TRUE(made.standard());
    ASSERT_TRUE(windows.standard());
    EXPECT_EQ(made.listing(), windows.listing());
}

TEST_P(FatVolumeTest, SavesLiveAndDeletedFilesWithTheirBytesAndModificationTime) {
    ScannedVolume volume(GetParam(), image(fixtureName()));
    ASSERT_TRUE(volume.standard());
    const auto listed = volume.listing();
    test::TempDir out;
    const struct {
        const char* path;
        std::string content;
        int64_t modified;  // seconds since 1970, UTC
    } cases[] = {
        {"README.TXT", numberedLines("README", 1, 20), 1673771400},
        {"multi-cluster.txt", numberedLines("multi-cluster", 1, 1000), 1675573504},
        {"Docs/Reports/index.txt", "Reports index: q1.txt, Q2.TXT\n", 1719856800},
        {"empty.txt", "", 1675382400},
        // Deleted: the chain is gone, the clusters after the first still hold the data.
        {"Deleted Long Name File.txt", numberedLines("Deleted Long Name File", 1, 300), 1696154402},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(listed.count(c.path)) << c.path;
        const std::string destination = out.file(std::to_string(listed.at(c.path).entry));
        const CopyResult result = volume.adapter.saveFile(listed.at(c.path).entry, destination);
        EXPECT_EQ(result.status, CopyStatus::Ok) << c.path;
        EXPECT_EQ(fileText(destination), c.content) << c.path;
        struct stat info{};
        ASSERT_EQ(::stat(destination.c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
    }
}

TEST_P(FatVolumeTest, AdvancedModeOnAVolumeWithoutBootSectorsListsTheStandardTree) {
    ScannedVolume intact(GetParam(), image(fixtureName()));
    ASSERT_TRUE(intact.standard());
    ScannedVolume damaged(GetParam(), image(fixtureName("-noboot")));
    EXPECT_FALSE(damaged.parser.checkBootSector());
    damaged.advanced(0, 1);
    EXPECT_EQ(damaged.listing(), intact.listing());
    ASSERT_GE(damaged.parser.anchors().size(), 2u);
    // The second anchor is the second FAT copy: it rebuilds the same tree.
    ScannedVolume fromCopy(GetParam(), image(fixtureName("-noboot")));
    fromCopy.advanced(1, 1);
    EXPECT_EQ(fromCopy.listing(), intact.listing());
}

TEST_P(FatVolumeTest, FormattedDriveReadsEveryFolderOneClusterLong) {
    ScannedVolume volume(GetParam(), image(fixtureName()), true);
    ASSERT_TRUE(volume.standard());
    // 512-byte clusters hold 16 slots; a folder's first two are "." and "..". FAT16's root is
    // a fixed area, FAT32's a cluster chain like any folder.
    std::map<std::string, size_t> children;
    for (const auto& [path, entry] : volume.listing()) {
        const auto slash = path.rfind('/');
        ++children[slash == std::string::npos ? "" : path.substr(0, slash)];
    }
    for (const auto& [folder, count] : children) {
        if (!folder.empty()) {
            EXPECT_LE(count, 14u) << folder;
        }
    }
    if (GetParam() == FatType::Fat32) {
        EXPECT_LE(children[""], 16u);
    } else {
        EXPECT_GT(children[""], 16u);
        EXPECT_EQ(children["Logs"], 14u);
    }
}

TEST_P(FatVolumeTest, AFileWhoseFirstClusterLiesOutsideTheVolumeIsNotWritten) {
    std::vector<uint8_t> bytes = image(fixtureName());
    ScannedVolume probe(GetParam(), bytes);
    ASSERT_TRUE(probe.standard());
    const FatEntry& readme = probe.parser.entry(static_cast<size_t>(probe.listing().at("README.TXT").entry));
    for (uint32_t cluster : {0u, 1u, 0x0FFFFFF0u}) {
        std::vector<uint8_t> patched = bytes;
        patched[readme.slotOffset + 20] = (cluster >> 16) & 0xFF;
        patched[readme.slotOffset + 21] = cluster >> 24;
        patched[readme.slotOffset + 26] = cluster & 0xFF;
        patched[readme.slotOffset + 27] = (cluster >> 8) & 0xFF;
        ScannedVolume volume(GetParam(), patched);
        ASSERT_TRUE(volume.standard());
        test::TempDir out;
        const CopyResult result = volume.adapter.saveFile(volume.listing().at("README.TXT").entry, out.file("r"));
        EXPECT_EQ(result.status, CopyStatus::Failed) << cluster;
        struct stat info{};
        EXPECT_NE(::stat(out.file("r").c_str(), &info), 0) << cluster;
    }
}

TEST(FatVolume, RefusesABootSectorOfTheOtherFatType) {
    ScannedVolume fat16AsFat32(FatType::Fat32, image("fat16.img"));
    EXPECT_FALSE(fat16AsFat32.standard());
    ScannedVolume fat32AsFat16(FatType::Fat16, image("fat32.img"));
    EXPECT_FALSE(fat32AsFat16.standard());
}

}  // namespace
}  // namespace vdrec::fs::fat
