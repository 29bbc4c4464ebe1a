// The ext parser on fixture volumes with one inode changed: fields a damaged or unusual volume
// holds, and what saving makes of them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "fs/ext/scanned_volume.h"

namespace vdrec::fs::ext {
namespace {

struct Field {
    size_t offset;  // within the inode
    uint32_t value;
    size_t bytes;   // 2 or 4
};

std::vector<uint8_t> patched(const char* name, size_t inodeAt, std::initializer_list<Field> fields) {
    auto bytes = image(name);
    for (const Field& field : fields)
        for (size_t k = 0; k < field.bytes; ++k) bytes[inodeAt + field.offset + k] = static_cast<uint8_t>(field.value >> (8 * k));
    return bytes;
}

// Where debugfs imap puts the inodes the cases change.
constexpr size_t kExt2LinkShort = 2067 * 1024 + 0x200;  // inode 323
constexpr size_t kExt4LinkShort = 93 * 4096 + 0x200;    // inode 323
constexpr size_t kExt2Doomed = 2066 * 1024 + 0x200;     // inode 319, removed
constexpr size_t kExt4Readme = 93 * 4096 + 0x400;       // inode 325
constexpr size_t kExt2Readme = 2067 * 1024 + 0x400;     // inode 325

TEST(CraftedExtInode, AShortLinkWithAnAttributeBlockIsSavedAsItsTargetText) {
    // A security label in an attribute block counts in i_blocks; the text is still in the inode.
    struct Case {
        const char* image;
        size_t inodeAt;
        uint32_t sectors;  // one block of the volume
    };
    for (const Case& c : {Case{"ext2.img", kExt2LinkShort, 2}, Case{"ext4.img", kExt4LinkShort, 8}}) {
        ScannedVolume volume(patched(c.image, c.inodeAt, {{104, 700, 4}, {28, c.sectors, 4}}));
        test::TempDir out;
        EXPECT_EQ(saved(volume, "link-short", out), "docs/deep/nested.txt") << c.image;
        EXPECT_EQ(volume.adapter.readData(volume.listing().at("link-short").entry, 1024),
                  std::optional(std::vector<uint8_t>{'d', 'o', 'c', 's', '/', 'd', 'e', 'e', 'p', '/', 'n', 'e', 's', 't',
                                                     'e', 'd', '.', 't', 'x', 't'}))
            << c.image;
    }
}

TEST(CraftedExtInode, ASizePastTheVolumeIsSavedAsWhatTheVolumeHoldsAndReported) {
    // readme.txt's size made 2^62 bytes: its one block is saved, never a 2^62-byte file.
    struct Case {
        const char* image;
        size_t inodeAt;
        size_t blockBytes;
    };
    const std::string readme = [] {
        std::string text;
        char line[64];
        for (int k = 1; k <= 20; ++k) text += (std::snprintf(line, sizeof line, "readme line %05d\n", k), line);
        return text;
    }();
    for (const Case& c : {Case{"ext4.img", kExt4Readme, 4096}, Case{"ext2.img", kExt2Readme, 1024}}) {
        ScannedVolume volume(patched(c.image, c.inodeAt, {{4, 0, 4}, {108, 0x40000000, 4}}));
        const auto listing = volume.listing();
        ASSERT_EQ(listing.at("readme.txt").size, uint64_t{1} << 62) << c.image;
        test::TempDir out;
        const std::string data = saved(volume, "readme.txt", out, CopyStatus::Short);
        EXPECT_EQ(data.size(), c.blockBytes) << c.image;
        EXPECT_EQ(data.substr(0, readme.size()), readme) << c.image;
        ASSERT_EQ(volume.sink.messages().size(), 1u) << c.image;
        EXPECT_NE(volume.sink.messages()[0].find("the recorded size of 4611686018427387904 bytes is more than the volume holds"),
                  std::string::npos)
            << volume.sink.messages()[0];
        EXPECT_EQ(volume.adapter.readData(listing.at("readme.txt").entry, SIZE_MAX), std::nullopt) << c.image;
    }
}

TEST(CraftedExtInode, ARemovedEmptyFileIsSavedEmptyUnlessTheKernelTruncatedIt) {
    // doomed.txt made an empty removed file (size, i_blocks and block map cleared). Its times
    // tell which: the kernel's truncate on removal gives the change, modification and deletion
    // times one moment; an empty file keeps the time it was written.
    struct Case {
        const char* what;
        std::vector<size_t> timesMadeModified;  // change (12) and deletion (20) time fields
        CopyStatus expected;
    };
    const Case cases[] = {
        {"an empty file removed", {}, CopyStatus::Ok},
        {"an empty file copied in by mke2fs -d and removed later", {12}, CopyStatus::Ok},
        {"a file the kernel truncated on removal", {12, 20}, CopyStatus::NoData},
    };
    for (const Case& c : cases) {
        auto bytes = patched("ext2.img", kExt2Doomed, {{4, 0, 4}, {28, 0, 4}});
        std::memset(bytes.data() + kExt2Doomed + 40, 0, 60);
        for (size_t field : c.timesMadeModified)
            std::memcpy(bytes.data() + kExt2Doomed + field, bytes.data() + kExt2Doomed + 16, 4);
        ScannedVolume volume(std::move(bytes));
        const auto listing = volume.listing();
        ASSERT_TRUE(listing.at("doomed.txt").deleted) << c.what;
        test::TempDir out;
        const std::string destination = out.file("doomed.txt");
        EXPECT_EQ(volume.adapter.saveFile(listing.at("doomed.txt").entry, destination).status, c.expected) << c.what;
        struct stat info{};
        const bool written = ::stat(destination.c_str(), &info) == 0;
        EXPECT_EQ(written, c.expected == CopyStatus::Ok) << c.what;
        if (written) {
            EXPECT_EQ(info.st_size, 0) << c.what;
            EXPECT_EQ(info.st_mtime, 1693558800) << c.what;  // 2023-09-01 09:00:00 UTC
        }
        EXPECT_TRUE(volume.sink.messages().empty()) << c.what;
    }
}

}  // namespace
}  // namespace vdrec::fs::ext
