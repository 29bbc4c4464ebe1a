// Files and folders kept in the inode (inline data), on ext4-inline.img (see
// tests/fixtures/make-ext-inline.sh) and on inode bytes shaped by hand.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <string>

#include "fs/ext/inline_data.h"
#include "fs/ext/scanned_volume.h"

namespace vdrec::fs::ext {
namespace {

TEST(InlineData, ListsAndSavesInlineFilesAndTheEntriesOfInlineFolders) {
    struct Case {
        std::string path;
        std::string content;
        time_t modified;
    };
    std::string medium, unicode;
    char line[64];
    for (int k = 1; k <= 7; ++k) medium += (std::snprintf(line, sizeof line, "medium line %02d\n", k), line);
    for (int k = 1; k <= 4; ++k) unicode += (std::snprintf(line, sizeof line, "\xC3\xBCn\xC3\xAF line %05d\n", k), line);
    const Case cases[] = {
        {"tiny.txt", "tiny inline file\n", 1677628800},                    // the block field only
        {"exact60.txt", std::string(59, 'x') + "\n", 1677715200},         // all of it
        {"medium.txt", medium, 1677801600},                                // and the attribute
        {"\xC3\xBCn\xC3\xAF.txt", unicode, 1677888000},
        {"small-dir/a.txt", "a\n", 1678060800},                            // in an inline folder
        {"kdir/kernel-3.txt", "k3\n", 1678233600},                         // named in the attribute
    };
    ScannedVolume volume(image("ext4-inline.img"));
    ASSERT_TRUE(volume.found);
    const auto listing = volume.listing();
    std::map<std::string, bool> paths;
    for (const auto& [path, entry] : listing) paths[path] = entry.folder;
    const std::map<std::string, bool> expected = {
        {"lost+found", true}, {"block.txt", false}, {"exact60.txt", false}, {"medium.txt", false},
        {"small-dir", true}, {"small-dir/a.txt", false}, {"small-dir/b.txt", false}, {"tiny.txt", false},
        {"\xC3\xBCn\xC3\xAF.txt", false}, {"kdir", true}, {"kdir/kernel-1.txt", false},
        {"kdir/kernel-2.txt", false}, {"kdir/kernel-3.txt", false},
    };
    EXPECT_EQ(paths, expected);
    test::TempDir out;
    for (const Case& c : cases) {
        EXPECT_EQ(saved(volume, c.path, out), c.content) << c.path;
        EXPECT_EQ(listing.at(c.path).size, c.content.size()) << c.path;
        struct stat info{};
        ASSERT_EQ(::stat(out.file(std::to_string(listing.at(c.path).entry)).c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
    }
    EXPECT_EQ(test::sha256(out.file(std::to_string(listing.at("medium.txt").entry))),
              "ab6f4867ab6ea39b963228e1432722fe7b52ceaa8c5e4cbe8cb3939edf298fdb");  // as icat gives it
}

// A 256-byte inode with 32 extra bytes, holding "system.data" with `value` at `valueOffset`.
std::vector<std::byte> inodeWithValue(const std::string& value, uint16_t valueOffset, uint32_t declaredSize) {
    std::vector<uint8_t> bytes(256, 0);
    test::putLe32(bytes, 32, 0x10000000);
    bytes[128] = 32;
    test::putLe32(bytes, 160, 0xEA020000);
    bytes[164] = 4;  // name length
    bytes[165] = 7;  // "system."
    bytes[166] = static_cast<uint8_t>(valueOffset);
    bytes[167] = static_cast<uint8_t>(valueOffset >> 8);
    test::putLe32(bytes, 172, declaredSize);
    std::memcpy(bytes.data() + 180, "data", 4);
    // Values follow the 4 zero bytes that end the entries.
    for (size_t k = 0; k < value.size() && 164u + valueOffset + k < bytes.size(); ++k)
        bytes[164 + valueOffset + k] = static_cast<uint8_t>(value[k]);
    std::vector<std::byte> out(bytes.size());
    std::memcpy(out.data(), bytes.data(), bytes.size());
    return out;
}

TEST(InlineData, AttributeValuesOutsideTheInodeAreNotRead) {
    struct Case {
        const char* what;
        uint16_t valueOffset;
        uint32_t declaredSize;
        std::string expected;
    };
    const Case cases[] = {
        {"within the inode", 24, 5, "hello"},
        {"size past the inode's end", 24, 200, ""},
        {"offset past the inode's end", 4000, 5, ""},
        {"size that wraps", 24, 0xFFFFFFFF, ""},
    };
    for (const Case& c : cases) {
        const auto bytes = inodeWithValue("hello", c.valueOffset, c.declaredSize);
        const auto value = inlineDataValue(platform::Bytes(bytes.data(), bytes.size()));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(value.data()), value.size()), c.expected) << c.what;
    }
    // A truncated inode (no room for the extra fields) holds no attribute.
    const auto whole = inodeWithValue("hello", 24, 5);
    EXPECT_TRUE(inlineDataValue(platform::Bytes(whole.data(), 150)).empty());
}

TEST(InlineData, AFileLongerThanItsInlineBytesIsSavedShortWithZeros) {
    // medium.txt, inode 14 at block 34 + 0xD00: its size raised from 105 to 200, more than the
    // inode holds. The 105 bytes are saved, the rest stays zeros, and the save says it is short.
    auto bytes = image("ext4-inline.img");
    test::putLe32(bytes, 34 * 4096 + 0xD00 + 4, 200);
    ScannedVolume volume(std::move(bytes));
    test::TempDir out;
    const std::string data = saved(volume, "medium.txt", out, CopyStatus::Short);
    ASSERT_EQ(data.size(), 200u);
    EXPECT_EQ(data.substr(0, 15), "medium line 01\n");
    EXPECT_EQ(data.substr(105), std::string(95, '\0'));
}

}  // namespace
}  // namespace vdrec::fs::ext
