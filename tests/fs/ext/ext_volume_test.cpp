// The ext parser on volumes made by mke2fs -d (see tests/fixtures/make-ext.sh): what is listed,
// what is saved, and volumes with damage or old content.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <memory>

#include "fs/ext/scanned_volume.h"

namespace vdrec::fs::ext {
namespace {

std::string lines(const std::string& tag, int first, int last) {
    std::string out;
    char line[128];
    for (int k = first; k <= last; ++k) {
        std::snprintf(line, sizeof line, "%s line %05d\n", tag.c_str(), k);
        out += line;
    }
    return out;
}

std::string sparseContent() {
    std::string out(100000, '\0');
    for (int k = 0; k < 6; ++k) {
        const std::string text = "seg-" + std::to_string(k);
        out.replace(static_cast<size_t>(k * 12288 + 7), text.size(), text);
    }
    return out;
}

const char* const kImages[] = {"ext2.img", "ext3.img", "ext4.img", "ext4-32bit.img"};

TEST(ExtVolume, ListsEveryFolderAndFileWithItsSize) {
    const std::map<std::string, uint64_t> files = {
        {"readme.txt", 360},           {"empty.txt", 0},
        {"R\xC3\xA9sum\xC3\xA9 \xE2\x80\x93 final.txt", 600},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt", 120},
        {"docs/deep/nested.txt", 1800}, {"docs/big.txt", 300000},      {"docs/exact-8192.bin", 8192},
        {"sparse.bin", 100000},        {"link-short", 20},            {"link-long", 106},
        {"bigdir/file-0001.txt", 8},   {"bigdir/file-0300.txt", 10},
    };
    for (const char* name : kImages) {
        ScannedVolume volume(image(name));
        ASSERT_TRUE(volume.found) << name;
        const auto listing = volume.listing();
        for (const auto& [path, size] : files) {
            const auto it = listing.find(path);
            ASSERT_NE(it, listing.end()) << name << " " << path;
            EXPECT_FALSE(it->second.folder) << name << " " << path;
            EXPECT_EQ(it->second.size, size) << name << " " << path;
        }
        for (const char* folder : {"lost+found", "docs", "docs/deep", "bigdir", "empty-folder"})
            EXPECT_TRUE(listing.count(folder) && listing.at(folder).folder) << name << " " << folder;
        size_t inBigdir = 0;
        for (const auto& [path, entry] : listing) inBigdir += path.rfind("bigdir/", 0) == 0;
        EXPECT_EQ(inBigdir, 300u) << name;
        // A device node is neither file nor folder; the root's own "." is the top item itself.
        EXPECT_FALSE(listing.count("null-device")) << name;
        EXPECT_FALSE(listing.count(".")) << name;
    }
}

TEST(ExtVolume, OnlyFoldersAndFilesByTheirExactTypeAreShown) {
    struct Case {
        uint16_t mode;
        bool folder, file;
    };
    // Block devices and sockets share bits with folders and files: the whole type field decides.
    const Case cases[] = {
        {0x41ED, true, false},  {0x81A4, false, true},  {0xA1FF, false, true}, {0x61B0, false, false},
        {0xC1ED, false, false}, {0x21B6, false, false}, {0x11A4, false, false},
    };
    for (const Case& c : cases) {
        ExtEntry entry;
        entry.mode = c.mode;
        EXPECT_EQ(entry.isFolder(), c.folder) << std::hex << c.mode;
        EXPECT_EQ(entry.isFile(), c.file) << std::hex << c.mode;
    }
}

TEST(ExtVolume, SavesFilesByteExactWithHolesLinkTextsAndUtcTimes) {
    for (const char* name : kImages) {
        ScannedVolume volume(image(name));
        test::TempDir out;
        EXPECT_EQ(saved(volume, "readme.txt", out), lines("readme", 1, 20)) << name;
        EXPECT_EQ(saved(volume, "docs/big.txt", out), lines("big", 1, 20000).substr(0, 300000)) << name;
        EXPECT_EQ(saved(volume, "sparse.bin", out), sparseContent()) << name;
        EXPECT_EQ(saved(volume, "empty.txt", out), "") << name;
        EXPECT_EQ(saved(volume, "link-short", out), "docs/deep/nested.txt") << name;
        EXPECT_EQ(saved(volume, "link-long", out),
                  "docs/deep/" + std::string(70, 'x') + "/target-of-a-long-link.txt") << name;
        const auto listing = volume.listing();
        struct stat info{};
        ASSERT_EQ(::stat(out.file(std::to_string(listing.at("readme.txt").entry)).c_str(), &info), 0);
        EXPECT_EQ(info.st_mtime, 1683356889) << name;  // 2023-05-06 07:08:09 UTC
        // Holes stay holes: the six 5-byte pieces of sparse.bin take a few blocks, not 100,000 bytes.
        ASSERT_EQ(::stat(out.file(std::to_string(listing.at("sparse.bin").entry)).c_str(), &info), 0);
        EXPECT_LT(info.st_blocks * 512, 100000) << name;
    }
}

TEST(ExtVolume, ListsRemovedNamesAndSavesTheirSurvivingData) {
    for (const char* name : kImages) {
        ScannedVolume volume(image(name));
        const auto listing = volume.listing();
        ASSERT_TRUE(listing.count("doomed.txt")) << name;
        EXPECT_TRUE(listing.at("doomed.txt").deleted) << name;
        EXPECT_FALSE(listing.at("readme.txt").deleted) << name;
        test::TempDir out;
        // debugfs rm frees the blocks but leaves the map, so the data is still there.
        EXPECT_EQ(saved(volume, "doomed.txt", out), lines("doomed", 1, 40)) << name;
    }
}

TEST(ExtVolume, RemovedFilesWhoseDataIsGoneSaySoInsteadOfSavingZeros) {
    struct Case {
        const char* what;
        const char* image;
        size_t offset;  // bytes changed
        size_t length;
        uint8_t value;
    };
    const Case cases[] = {
        // ext2.img: doomed.txt's one block, 2448, is bit 399 of group 2's block bitmap (block 2049).
        {"block given to another file", "ext2.img", 2049 * 1024 + 399 / 8, 1, 0xFF},
        // ext4.img: inode 319 is slot 62 of group 2's table (block 89); its extent tree cleared, as
        // the kernel leaves a removed file.
        {"extent tree cleared", "ext4.img", 89 * 4096 + 62 * 256 + 40, 60, 0},
    };
    for (const Case& c : cases) {
        auto bytes = image(c.image);
        std::memset(bytes.data() + c.offset, c.value, c.length);
        ScannedVolume volume(std::move(bytes));
        const auto listing = volume.listing();
        ASSERT_TRUE(listing.count("doomed.txt")) << c.what;
        EXPECT_TRUE(listing.at("doomed.txt").deleted) << c.what;
        test::TempDir out;
        const std::string destination = out.file("doomed.txt");
        EXPECT_EQ(volume.adapter.saveFile(listing.at("doomed.txt").entry, destination).status, CopyStatus::NoData) << c.what;
        struct stat info{};
        EXPECT_NE(::stat(destination.c_str(), &info), 0) << c.what;
        // The caller says so: once for one file, as a count for a folder.
        EXPECT_TRUE(volume.sink.messages().empty()) << c.what;
    }
}

TEST(ExtVolume, SkipsInodeTablesOfUninitialisedGroups) {
    // ext4.img: group 3 is flagged INODE_UNINIT; its table (blocks 97-104) gets a copy of group
    // 2's (blocks 89-96), whose folders would otherwise take over the names of their files.
    auto bytes = image("ext4.img");
    std::memcpy(bytes.data() + 97 * 4096, bytes.data() + 89 * 4096, 8 * 4096);
    ScannedVolume volume(std::move(bytes));
    const auto listing = volume.listing();
    EXPECT_TRUE(listing.count("docs/deep/nested.txt"));
    EXPECT_TRUE(listing.count("bigdir/file-0300.txt"));
    EXPECT_EQ(listing.size(), ScannedVolume(image("ext4.img")).listing().size());
}

TEST(ExtVolume, StaleInodesOfAVolumeFormattedOverAnotherStayOut) {
    // ext4-reformatted.img: the earlier volume's folder, inode 53, still names inodes 12-14 in a
    // slot past group 0's used inodes; read, it would take the new files from their folders.
    ScannedVolume volume(image("ext4-reformatted.img"));
    std::vector<std::string> paths;
    for (const auto& [path, listed] : volume.listing()) paths.push_back(path);
    EXPECT_EQ(paths, (std::vector<std::string>{"folder", "folder/inner.txt", "fresh.txt", "lost+found"}));
    test::TempDir out;
    EXPECT_EQ(saved(volume, "folder/inner.txt", out), "new inner\n");
}

TEST(ExtVolume, PreallocatedBlocksAreSavedAsZerosWhateverTheDiskHolds) {
    // ext4-reformatted.img: fresh.txt's blocks 1-4 are an uninitialised extent over disk blocks
    // 179-182, which still hold bytes of the earlier volume.
    ScannedVolume volume(image("ext4-reformatted.img"));
    EXPECT_EQ(volume.listing().at("fresh.txt").size, 20480u);
    test::TempDir out;
    EXPECT_EQ(saved(volume, "fresh.txt", out), "new fresh\n" + std::string(20480 - 10, '\0'));
}

TEST(ExtVolume, FindsABackupSuperblockWhenThePrimaryIsGone) {
    auto bytes = image("ext2.img");
    std::fill(bytes.begin() + 1024, bytes.begin() + 2048, 0);
    ScannedVolume volume(std::move(bytes));
    ASSERT_TRUE(volume.found);
    EXPECT_EQ(volume.parser.superblockOffset(), 1025u * 1024);  // group 1's copy
    EXPECT_TRUE(volume.listing().count("docs/big.txt"));
}

TEST(ExtVolume, UnreadableBlocksBecomeZerosInPlaceAndTheFileIsShort) {
    // ext2.img: docs/big.txt's blocks 12-267 lie at 2154-2409; the image ends at block 2300.
    auto bytes = image("ext2.img");
    bytes.resize(2300 * 1024);
    ScannedVolume volume(std::move(bytes), "4");
    test::TempDir out;
    const std::string data = saved(volume, "docs/big.txt", out, CopyStatus::Short);
    const std::string whole = lines("big", 1, 20000).substr(0, 300000);
    ASSERT_EQ(data.size(), 300000u);
    const size_t readable = (12 + (2300 - 2154)) * 1024;
    EXPECT_EQ(data.substr(0, readable), whole.substr(0, readable));
    EXPECT_EQ(data.substr(readable), std::string(300000 - readable, '\0'));
}

TEST(ExtVolume, NothingIsListedWithoutASuperblock) {
    ScannedVolume volume(std::vector<uint8_t>(4 << 20, 0));
    EXPECT_FALSE(volume.found);
    EXPECT_TRUE(volume.adapter.rootLevel().empty());
}

}  // namespace
}  // namespace vdrec::fs::ext
