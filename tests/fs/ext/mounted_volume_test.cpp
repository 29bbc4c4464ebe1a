// The ext parser on a volume the kernel wrote through a loop mount (see
// tests/fixtures/make-ext-mounted.sh): preallocated extents, holes, a file spanning groups, and
// files the kernel removed, whose inodes it cleared.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "fs/ext/scanned_volume.h"

namespace vdrec::fs::ext {
namespace {

const char* const kImage = "ext4-mounted.img";
const std::string kUnicodeFolder = "\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 \xE2\x9C\x93";
const std::string kUnicodeFile = kUnicodeFolder + "/\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5 \xE2\x80\x93 "
                                                  "\xE6\x97\xA5\xE6\x9C\xAC.txt";

std::string lines(const std::string& tag, int first, int last) {
    std::string out;
    char line[128];
    for (int k = first; k <= last; ++k) {
        std::snprintf(line, sizeof line, "%s line %05d\n", tag.c_str(), k);
        out += line;
    }
    return out;
}

std::string zerosAfter(std::string text, size_t size) {
    text.resize(size, '\0');
    return text;
}

std::string sparseContent() {
    std::string out(3000000, '\0');
    for (int at : {0, 100000, 500000, 2000000}) {
        const std::string text = "piece at " + std::to_string(at);
        out.replace(static_cast<size_t>(at), text.size(), text);
    }
    return out;
}

TEST(MountedExtVolume, ListsLiveFilesWithSizesAndOnlyTheRemovedNamesTheFoldersKeep) {
    ScannedVolume volume(image(kImage));
    ASSERT_TRUE(volume.found);
    // (folder, deleted, size). The kernel wiped the entries of docs/gone-deep.txt and of the
    // files in trash/, so they are not listed; it also cleared the removed inodes' sizes.
    using Row = std::tuple<bool, bool, uint64_t>;
    const std::map<std::string, Row> expected = {
        {"lost+found", {true, false, 0}},
        {"docs", {true, false, 0}},
        {"docs/deep", {true, false, 0}},
        {"docs/deep/nested.txt", {false, false, 3600}},
        {"docs/big.txt", {false, false, 6291456}},
        {"docs/trash", {true, true, 0}},
        {kUnicodeFolder, {true, false, 0}},
        {kUnicodeFile, {false, false, 960}},
        {"empty-folder", {true, false, 0}},
        {"readme.txt", {false, false, 900}},
        {"prealloc.bin", {false, false, 204800}},
        {"grown.log", {false, false, 49000}},
        {"kept.log", {false, false, 3200}},
        {"sparse.bin", {false, false, 3000000}},
        {"gone.txt", {false, true, 0}},
        {"gone-prealloc.bin", {false, true, 0}},
    };
    std::map<std::string, Row> listed;
    for (const auto& [path, entry] : volume.listing()) listed[path] = {entry.folder, entry.deleted, entry.size};
    EXPECT_EQ(listed, expected);
}

TEST(MountedExtVolume, SavesLiveFilesByteExactWithPreallocatedRangesAndHolesAsZeros) {
    struct Case {
        std::string path;
        std::string content;
        time_t modified;
    };
    const Case cases[] = {
        {"readme.txt", lines("readme", 1, 50), 1683356889},                 // 2023-05-06 07:08:09
        {"docs/deep/nested.txt", lines("nested", 1, 200), 1688214600},      // 2023-07-01 12:30:00
        {kUnicodeFile, lines("\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5", 1, 40), 1685703600},
        {"docs/big.txt", lines("big", 1, 450000).substr(0, 6291456), 1688302800},
        {"prealloc.bin", std::string(204800, '\0'), 1690848000},            // unwritten extent only
        {"grown.log", zerosAfter(lines("grown", 1, 500), 49000), 1690934400},  // data, then unwritten
        {"kept.log", lines("kept", 1, 200), 1691020800},                    // unwritten past the size
        {"sparse.bin", sparseContent(), 1691107200},
    };
    ScannedVolume volume(image(kImage));
    const auto listing = volume.listing();
    test::TempDir out;
    for (const Case& c : cases) {
        EXPECT_TRUE(saved(volume, c.path, out) == c.content) << c.path;
        struct stat info{};
        ASSERT_EQ(::stat(out.file(std::to_string(listing.at(c.path).entry)).c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
    }
    // Preallocated ranges and holes stay holes of the output, not written zeros.
    for (const char* path : {"prealloc.bin", "sparse.bin"}) {
        struct stat info{};
        ASSERT_EQ(::stat(out.file(std::to_string(listing.at(path).entry)).c_str(), &info), 0);
        EXPECT_LT(info.st_blocks * 512, 100000) << path;
    }
    EXPECT_TRUE(volume.sink.messages().empty());
}

TEST(MountedExtVolume, KernelRemovedFilesSayNoDataSurvivesInsteadOfSavingAnEmptyFile) {
    for (const std::string name : {"gone.txt", "gone-prealloc.bin"}) {
        ScannedVolume volume(image(kImage));
        const auto listing = volume.listing();
        test::TempDir out;
        const std::string destination = out.file(name);
        EXPECT_EQ(volume.adapter.saveFile(listing.at(name).entry, destination).status, CopyStatus::NoData) << name;
        struct stat info{};
        EXPECT_NE(::stat(destination.c_str(), &info), 0) << name;
    }
}

}  // namespace
}  // namespace vdrec::fs::ext
