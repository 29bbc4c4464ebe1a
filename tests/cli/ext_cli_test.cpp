// The ext commands on mke2fs volumes (tests/fixtures/make-ext.sh), on a volume the kernel wrote
// (make-ext-mounted.sh) and on the ext4 logical volume of mbr-ext.img: listing, saving with
// contents and times, and search.

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

TEST(ExtCli, RecoversAVolumeTheKernelWroteAndSaysWhatItsRemovedFilesLost) {
    struct Case {
        const char* path;
        const char* sha256;
        long size;
        time_t modified;
    };
    // Checksums as icat gives them (tests/fixtures/README.md).
    const Case cases[] = {
        {"readme.txt", "3e856e4d0074f264efb5aa7ac1caab84479d711fc1a2c129ae187686075140d1", 900, 1683356889},
        {"docs/big.txt", "fd037516795c5711c56247a51afab9aed44ccb43494a1d37585f86267b8e86c5", 6291456, 1688302800},
        {"prealloc.bin", "8eafc7bd411c1f02b9e972a83d2b0a4164eefc5ef51e6b63ad7acc78be4ad44f", 204800, 1690848000},
        {"grown.log", "76c12d75eb2209742d834898f1a38d77fae73bc78eaaf2839505e955022ab6a6", 49000, 1690934400},
        {"kept.log", "5ca42fb3f4d3d2fe9794576cc60d33755917c649ceb6ce384f83dc558cd0738a", 3200, 1691020800},
        {"sparse.bin", "768a97daf5e0b7931ac647516142704c19a5531e60f5f4142e7868288894f8d2", 3000000, 1691107200},
        {"\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 \xE2\x9C\x93/\xD0\xB4\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5 "
         "\xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC.txt",
         "36e28e8c056a97120d7e9f2d4ec03822649200f4e0cd062574f84edd3424f900", 960, 1685703600},
    };
    test::TempDir out;
    const auto result = test::run(vdrec("recover", "ext4-mounted.img", "--start 0 --fs extX --out " + out.path()));
    // The removed files have nothing left: the run says so and fails rather than leaving empty files.
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find("No data survives for gone.txt"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("No data survives for gone-prealloc.bin"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("files could not be written completely."), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("no data gone.txt -> \n"), std::string::npos) << result.out;
    for (const char* removed : {"gone.txt", "gone-prealloc.bin"}) {
        struct stat info{};
        EXPECT_NE(::stat(out.file(removed).c_str(), &info), 0) << removed;
    }
    for (const Case& c : cases) {
        struct stat info{};
        ASSERT_EQ(::stat(out.file(c.path).c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_size, c.size) << c.path;
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
        EXPECT_EQ(test::sha256(out.file(c.path)), c.sha256) << c.path;
    }
}

TEST(ExtCli, RecoverUnderAFileSizeLimitReportsTheFilesItCutInsteadOfBeingKilled) {
    // readme.txt's size made 2^62 bytes (ext4.img: inode 325 at block 93, offset 0x400); the
    // limit of 200 KiB is also below docs/big.txt's 300,000 bytes.
    auto bytes = test::readFile(test::fixture("ext4.img"));
    const size_t inodeAt = 93 * 4096 + 0x400;
    test::putLe32(bytes, inodeAt + 4, 0);
    test::putLe32(bytes, inodeAt + 108, 0x40000000);
    test::TempDir work;
    test::writeFile(work.file("crafted.img"), bytes);
    const std::string out = work.file("out");
    ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
    const auto result = test::run("ulimit -f 200; " + std::string(VDREC_BINARY) + " recover " + work.file("crafted.img") +
                                  " --start 0 --fs extX --out " + out);
    ASSERT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find("readme.txt: the recorded size of 4611686018427387904 bytes is more than the volume holds; "
                              "4096 bytes were saved."),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("Exception :  File too large   "), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("error   readme.txt -> "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("error   docs/big.txt -> "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("ok      docs/deep/nested.txt -> "), std::string::npos) << result.out;
    struct stat info{};
    ASSERT_EQ(::stat((out + "/readme.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 4096);
}

}  // namespace
}  // namespace vdrec::cli
