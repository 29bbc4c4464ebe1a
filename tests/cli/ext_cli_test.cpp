// The ext commands on mke2fs volumes (tests/fixtures/make-ext.sh) and on the ext4 logical
// volume of mbr-ext.img: listing, saving with contents and times, and search.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

std::string vdrec(const std::string& command, const std::string& image, const std::string& args) {
    return std::string(VDREC_BINARY) + " " + command + " " + test::fixture(image) + " " + args;
}

TEST(ExtCli, ListsAFolderWithSizesModificationTimesAndPermissions) {
    setenv("TZ", "UTC", 1);
    const auto result = test::run(vdrec("ls", "ext4.img", "--start 0 --fs extX --path docs -r --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    // Change and access times are those of the fixture's build: only the rest is compared.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {R"({"path":"docs/big.txt","name":"big.txt","type":"file","deleted":false,"size":300000,)",
         R"("modified":"07/02/2023  01:00 PM","attributes":"-OR-GR-UW-UR"})"},
        {R"({"path":"docs/deep","name":"deep","type":"dir","deleted":false,"size":0,)",
         R"("modified":"11/01/2023  00:00 AM","attributes":"-OE-OR-GE-GR-UE-UW-UR"})"},
        {R"({"path":"docs/deep/nested.txt","name":"nested.txt","type":"file","deleted":false,"size":1800,)",
         R"("modified":"07/01/2023  12:30 AM","attributes":"-OR-GR-UW-UR"})"},
        {R"({"path":"docs/exact-8192.bin","name":"exact-8192.bin","type":"file","deleted":false,"size":8192,)",
         R"("modified":"07/03/2023  02:00 PM","attributes":"-OR-GR-UW-UR"})"},
    };
    const auto listed = test::lines(result.out);
    ASSERT_EQ(listed.size(), expected.size()) << result.out;
    for (size_t k = 0; k < listed.size(); ++k) {
        EXPECT_EQ(listed[k].rfind(expected[k].first, 0), 0u) << listed[k];
        EXPECT_TRUE(listed[k].ends_with(expected[k].second)) << listed[k];
    }
}

TEST(ExtCli, RecoversEveryVersionWithContentsAndModificationTimes) {
    struct Case {
        const char* image;
        const char* path;
        const char* sha256;
        long size;
        time_t modified;
    };
    const Case cases[] = {
        {"ext2.img", "docs/big.txt", "327983a9ea8194474454b2106f98d3d010a306e31dc2636c8032908189fed50f", 300000, 1688302800},
        {"ext3.img", "sparse.bin", "7866bd899d1dee91141aeb8dcc6a03c39bcfd4b2aaa38c912239e4bcd9b466d5", 100000, 1690848000},
        {"ext4.img", "sparse.bin", "7866bd899d1dee91141aeb8dcc6a03c39bcfd4b2aaa38c912239e4bcd9b466d5", 100000, 1690848000},
        {"ext4.img", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt",
         "74d7ba73dfccc6d9b50b38626c2e7833cf7cbe99d24e6efde075ad6bf79574ff", 120, 1685703600},
    };
    for (const Case& c : cases) {
        test::TempDir out;
        const auto result = test::run(vdrec("recover", c.image, "--start 0 --fs extX --out " + out.path()));
        ASSERT_EQ(result.status, 0) << c.image << result.err;
        struct stat info{};
        ASSERT_EQ(::stat(out.file(c.path).c_str(), &info), 0) << c.image << " " << c.path;
        EXPECT_EQ(info.st_size, c.size) << c.image << " " << c.path;
        EXPECT_EQ(info.st_mtime, c.modified) << c.image << " " << c.path;
        EXPECT_EQ(test::sha256(out.file(c.path)), c.sha256) << c.image << " " << c.path;
    }
}

TEST(ExtCli, RecoversTheExt4LogicalVolumeOfAnMbrDisk) {
    test::TempDir out;
    const auto result = test::run(vdrec("recover", "mbr-ext.img", "--volume 2 --out " + out.path()));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto text = test::readFile(out.file("l2.txt"));
    EXPECT_EQ(std::string(text.begin(), text.end()), "mbr-ext logical 2 ext4\n");
    struct stat info{};
    ASSERT_EQ(::stat(out.file("l2.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1704067200);  // 2024-01-01 00:00:00 UTC
}

TEST(ExtCli, SearchFindsLiveAndRemovedNames) {
    setenv("TZ", "UTC", 1);
    const auto result = test::run(vdrec("search", "ext4.img", "--start 0 --fs extX 'nested|\xE3\x83\x95\xE3\x82\xA1|doomed'"));
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> expected = {
        "file              1.76 KB  07/01/2023  12:30 AM  docs/deep/nested.txt",
        "file deleted    720 Bytes  09/01/2023  09:00 AM  doomed.txt",
        "file            120 Bytes  06/02/2023  11:00 AM  \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt",
    };
    EXPECT_EQ(test::lines(result.out), expected);
}

}  // namespace
}  // namespace vdrec::cli
