// The FAT commands on mkfs.fat/mtools volumes: listing, saving with times, search, the anchor
// search and the advanced rebuild of a volume whose boot sectors are zeroed.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

std::string vdrec(const std::string& command, const std::string& image, const std::string& args) {
    return std::string(VDREC_BINARY) + " " + command + " " + test::fixture(image) + " " + args;
}

TEST(FatCli, ListsAFolderWithTimesSizesAndAttributes) {
    setenv("TZ", "UTC", 1);
    const auto result = test::run(vdrec("ls", "fat16.img", "--start 0 --fs FAT16 --path Docs/Private -r --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> expected = {
        R"({"path":"Docs/Private/Deeper","name":"Deeper","type":"dir","deleted":false,"size":0,"created":"05/01/2023  09:00 AM","accessed":"05/01/2023 ","modified":"05/01/2023  09:00 AM","attributes":"-R"})",
        R"({"path":"Docs/Private/Deeper/system.cfg","name":"system.cfg","type":"file","deleted":false,"size":660,"created":"06/01/2023  06:00 AM","accessed":"06/01/2023 ","modified":"06/01/2023  06:00 AM","attributes":"-S-A"})",
        R"({"path":"Docs/Private/secret.txt","name":"secret.txt","type":"file","deleted":false,"size":540,"created":"06/01/2023  06:00 AM","accessed":"06/01/2023 ","modified":"06/01/2023  06:00 AM","attributes":"-R-H-A"})",
    };
    EXPECT_EQ(test::lines(result.out), expected);
}

TEST(FatCli, RecoversAFolderWithItsModificationTimes) {
    test::TempDir out;
    const auto result = test::run(vdrec("recover", "fat32.img", "--start 0 --fs FAT32 --path Docs/Reports --out " + out.path()));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto index = test::readFile(out.file("index.txt"));
    EXPECT_EQ(std::string(index.begin(), index.end()), "Reports index: q1.txt, Q2.TXT\n");
    struct stat info{};
    ASSERT_EQ(::stat(out.file("2024/Q2.TXT").c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 7980);
    EXPECT_EQ(info.st_mtime, 1719855930);  // 2024-07-01 17:45:30 UTC
}

TEST(FatCli, SearchFindsLongAndShortNames) {
    const auto result = test::run(vdrec("search", "fat32.img", "--start 0 --fs fat32 'secret|q[12]\\.txt'"));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(test::lines(result.out).size(), 3u) << result.out;
}

TEST(FatCli, AdvancedModeRebuildsAVolumeWithoutBootSectors) {
    const struct {
        const char *intact, *damaged, *selection;
    } cases[] = {{"fat16.img", "fat16-noboot.img", "--start 0 --fs FAT16 --end 8447"},
                 {"fat32.img", "fat32-noboot.img", "--start 0 --fs FAT32 --end 69631"}};
    for (const auto& c : cases) {
        const auto anchors = test::run(vdrec("anchors", c.damaged, std::string(c.selection) + " --json"));
        ASSERT_EQ(anchors.status, 0) << anchors.err;
        EXPECT_EQ(test::lines(anchors.out).size(), 2u) << anchors.out;  // both FAT copies
        const auto standard = test::run(vdrec("ls", c.intact, std::string(c.selection) + " -r --json"));
        const auto advanced =
            test::run(vdrec("ls", c.damaged, std::string(c.selection) + " --mode advanced --anchor 1 --cluster 1 -r --json"));
        ASSERT_EQ(advanced.status, 0) << advanced.err;
        EXPECT_EQ(advanced.out, standard.out) << c.damaged;
        // Standard mode has no boot sector to start from.
        const auto refused = test::run(vdrec("ls", c.damaged, c.selection));
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("is not in Fat"), std::string::npos) << refused.err;
    }
}

TEST(FatCli, FormattedDriveReadsAFolderAsOneCluster) {
    const auto result = test::run(vdrec("ls", "fat16.img", "--start 0 --fs FAT16 --path Logs --formatted"));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(test::lines(result.out).size(), 14u);
}

}  // namespace
}  // namespace vdrec::cli
