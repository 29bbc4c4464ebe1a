// The NTFS commands on real mkntfs/ntfs-3g volumes, checked against what the fixture build put
// in (contents by SHA-256, as The Sleuth Kit's icat reads them).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

const std::string kMain = " --start 0 --fs NTFS";
const std::string kNoBoot = " --start 0 --fs ntfs --end 24575";

std::string vdrec(const std::string& image, const std::string& args) {
    return std::string(VDREC_BINARY) + " " + args.substr(0, args.find(' ')) + " " + test::fixture(image) +
           args.substr(args.find(' '));
}

TEST(NtfsCli, ListsLiveAndDeletedFilesWithSizesAndTimes) {
    setenv("TZ", "UTC", 1);
    const auto result = test::run(vdrec("ntfs-main.img", "ls" + kMain + " --path Docs -r --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> expected = {
        R"({"path":"Docs/Reports","name":"Reports","type":"dir","deleted":false,"size":0,"created":"06/30/2024  06:00 PM","accessed":"07/01/2024  07:00 PM","modified":"07/01/2024  06:00 PM","attributes":"-A"})",
        R"({"path":"Docs/Reports/2024","name":"2024","type":"dir","deleted":false,"size":0,"created":"06/30/2024  05:45 PM","accessed":"07/01/2024  06:45 PM","modified":"07/01/2024  05:45 PM","attributes":"-A"})",
        R"({"path":"Docs/Reports/2024/q1-summary.txt","name":"q1-summary.txt","type":"file","deleted":false,"size":5700,"created":"04/01/2024  09:15 AM","accessed":"04/02/2024  10:15 AM","modified":"04/02/2024  09:15 AM","attributes":"-A"})",
        R"({"path":"Docs/Reports/2024/q2-summary.txt","name":"q2-summary.txt","type":"file","deleted":false,"size":7980,"created":"06/30/2024  05:45 PM","accessed":"07/01/2024  06:45 PM","modified":"07/01/2024  05:45 PM","attributes":"-A"})",
        R"({"path":"Docs/Reports/index.txt","name":"index.txt","type":"file","deleted":false,"size":46,"created":"06/30/2024  06:00 PM","accessed":"07/01/2024  07:00 PM","modified":"07/01/2024  06:00 PM","attributes":"-A"})",
        R"({"path":"Docs/Résumé – final version.txt","name":"Résumé – final version.txt","type":"file","deleted":false,"size":3040,"created":"09/13/2023  09:07 PM","accessed":"09/14/2023  10:07 PM","modified":"09/14/2023  09:07 PM","attributes":"-A"})",
        R"({"path":"Docs/report.txt","name":"report.txt","type":"file","deleted":true,"size":7350,"created":"01/31/2024  10:00 AM","accessed":"02/01/2024  11:00 AM","modified":"02/01/2024  10:00 AM","attributes":"-A"})",
        R"({"path":"Docs/notes.txt","name":"notes.txt","type":"file","deleted":true,"size":300,"created":"02/01/2024  11:00 AM","accessed":"02/02/2024  12:00 AM","modified":"02/02/2024  11:00 AM","attributes":"-A"})",
        R"({"path":"Docs/draft.txt","name":"draft.txt","type":"file","deleted":true,"size":17000,"created":"02/02/2024  12:00 AM","accessed":"02/03/2024  01:00 PM","modified":"02/03/2024  12:00 AM","attributes":"-A"})",
        R"({"path":"Docs/Old","name":"Old","type":"dir","deleted":true,"size":0,"created":"12/31/2020  00:00 AM","accessed":"01/01/2021  01:00 AM","modified":"01/01/2021  00:00 AM","attributes":"-A"})",
        R"({"path":"Docs/Old/2019.txt","name":"2019.txt","type":"file","deleted":true,"size":3600,"created":"12/30/2019  11:59 PM","accessed":"01/01/2020  00:59 AM","modified":"12/31/2019  11:59 PM","attributes":"-A"})",
        R"({"path":"Docs/Old/2020.txt","name":"2020.txt","type":"file","deleted":true,"size":9600,"created":"12/30/2020  11:59 PM","accessed":"01/01/2021  00:59 AM","modified":"12/31/2020  11:59 PM","attributes":"-A"})",
        R"({"path":"Docs/report.txt","name":"report.txt","type":"file","deleted":false,"size":4200,"created":"05/31/2024  09:30 AM","accessed":"06/01/2024  10:30 AM","modified":"06/01/2024  09:30 AM","attributes":"-A"})",
    };
    EXPECT_EQ(test::lines(result.out), expected);
}

TEST(NtfsCli, RecoversEveryFileByteExactWithItsModificationTime) {
    test::TempDir out;
    const auto result = test::run(vdrec("ntfs-main.img", "recover" + kMain + " --out " + out.path() + " --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    struct Case {
        const char* path;
        const char* sha256;
        int64_t modified;  // seconds since 1970, UTC
    } cases[] = {
        // The live report keeps the plain name; its deleted namesake, listed first, takes " (1)".
        {"Docs/report.txt", "2b4a1694fd8e23b9f87fe8e76a8f1f63b2cce39b28cda4b44cf04c13d3d2ee12", 1717234200},
        {"Docs/report (1).txt", "f69216c0455388bd292f26c425e44e8c1971d9c033a7872993e8b2f3a25cbc01", 1706781600},  // deleted
        {"Docs/Old/2020.txt", "0afc8e56c3dacc853507233e1b738f252dc53579a1d1b2e0de15261057c37ce8", 1609459198},
        {"Docs/notes.txt", "32d94d4425a7247436f34b0f87a82acd8f0d5c708db54e7ffb70d17cab8ea7a6", 1706871600},
        {"fragmented.txt", "10f5aebc267b06c09088de60801ceeabf53fb1443f2dc1094f09fed94a4c351d", 1704873600},
        {"Compressed/text.txt", "475f35d7ece34468833524d78f22806bf420b9c997b9f09603afe1870486816d", 1714885505},
        {"sparse.bin", "f908044941b32a5c065a11579a5aab9f197b3a024ebf0302dffaa48250dd70e1", 1714795444},
        {"download.txt", "56019ee9745b329324f53ee28666076272a7daf50eecc2bedef56bda132eb9f9", 1714975566},
        {"cluster-4097.bin", "2355de227b8e59f097f6d3de1f9a72d7f227cd00317c83e1f0c4d9e8a3780024", 1714608001},
        {"$RECYCLE.BIN/S-1-5-21-1111-2222-3333-1001/budget 2024.txt",
         "6c386855a9eae3d09b1cbe327cbf1a661fb343d9d7525d80eb9d0722200d9e06", 1709283600},
    };
    for (const auto& c : cases) {
        const std::string path = out.file(c.path);
        EXPECT_EQ(test::sha256(path), c.sha256) << c.path;
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
    }
    EXPECT_NE(result.out.find(R"("path":"$BadClus","output":"","bytes":0,"status":"skipped")"), std::string::npos);
    EXPECT_EQ(result.out.find(R"("status":"error")"), std::string::npos);
}

TEST(NtfsCli, RecoversOneFolderStraightIntoTheOutput) {
    test::TempDir out;
    const auto result = test::run(vdrec("ntfs-main.img", "recover" + kMain + " --path Docs/Old --out " + out.path()));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(test::sha256(out.file("2019.txt")), "238a0f7d35e3567276e236207a4d185ccbe11986d4fd78462a0deea18d26b030");
    EXPECT_EQ(test::sha256(out.file("2020.txt")), "0afc8e56c3dacc853507233e1b738f252dc53579a1d1b2e0de15261057c37ce8");
}

TEST(NtfsCli, SearchFindsNamesByPatternAnywhere) {
    const auto result = test::run(vdrec("ntfs-main.img", "search" + kMain + " \\.jpg$ --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto found = test::lines(result.out);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0].find(R"("path":"Photos/IMG_0001.jpg")"), std::string::npos);
    EXPECT_NE(found[1].find(R"("path":"Photos/IMG_0002.jpg")"), std::string::npos);
    const auto invalid = test::run(vdrec("ntfs-main.img", "search" + kMain + " '*jpg'"));
    EXPECT_EQ(invalid.status, 1);
    EXPECT_EQ(invalid.err, "vdrec: such characters are not allowed for search.Try again with different pattern.\n");
}

TEST(NtfsCli, DamagedBootSectorIsRecoveredByAnchorByDeepScanAndByTheMftScan) {
    const auto anchors = test::run(vdrec("ntfs-noboot.img", "anchors" + kNoBoot + " --json"));
    ASSERT_EQ(anchors.status, 0) << anchors.err;
    EXPECT_EQ(anchors.out, "{\"index\":0,\"text\":\"MFT_ENTRY:0\",\"sector\":32}\n");

    const auto standard = test::run(vdrec("ntfs-main.img", "ls" + kMain + " -r --json"));
    const auto advanced = test::run(vdrec("ntfs-noboot.img", "ls" + kNoBoot + " --mode advanced --anchor 0 --cluster 8 -r --json"));
    ASSERT_EQ(advanced.status, 0) << advanced.err;
    EXPECT_EQ(advanced.out, standard.out);

    const auto deep = test::run(vdrec("ntfs-noboot.img", "ls" + kNoBoot + " --mode deep -r --json"));
    ASSERT_EQ(deep.status, 0) << deep.err;
    for (const char* name : {"\"name\":\"q1-summary.txt\"", "\"name\":\"2019.txt\"", "\"name\":\"IMG_0002.jpg\""})
        EXPECT_NE(deep.out.find(name), std::string::npos) << name;
    // Found records are placed by their parent numbers: the folders come back.
    EXPECT_NE(deep.out.find("\"path\":\"Docs/Reports/2024/q1-summary.txt\""), std::string::npos);
}

TEST(NtfsCli, AnchorSearchFindsBothFileSystemsOfAFormattedOverVolume) {
    const auto result = test::run(vdrec("ntfs-formatted-over.img", "anchors --start 0 --fs ntfs --end 16383 --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"index\":0,\"text\":\"MFT_ENTRY:0\",\"sector\":32}\n{\"index\":1,\"text\":\"MFT_ENTRY:1\",\"sector\":12832}\n");
}

TEST(NtfsCli, HandGivenVolumeWithoutAnEndRunsToTheDiskEnd) {
    struct Case {
        const char* image;
        const char* anchors;
    } cases[] = {
        {"ntfs-noboot.img", "{\"index\":0,\"text\":\"MFT_ENTRY:0\",\"sector\":32}\n"},
        {"ntfs-formatted-over.img",
         "{\"index\":0,\"text\":\"MFT_ENTRY:0\",\"sector\":32}\n{\"index\":1,\"text\":\"MFT_ENTRY:1\",\"sector\":12832}\n"},
    };
    for (const auto& c : cases) {
        const auto result = test::run(vdrec(c.image, "anchors --start 0 --fs ntfs --json"));
        ASSERT_EQ(result.status, 0) << c.image << "\n" << result.err;
        EXPECT_EQ(result.out, c.anchors) << c.image;
    }
    const auto deep = test::run(vdrec("ntfs-noboot.img", "ls --start 0 --fs ntfs --mode deep -r --json"));
    ASSERT_EQ(deep.status, 0) << deep.err;
    EXPECT_NE(deep.out.find("\"name\":\"q1-summary.txt\""), std::string::npos);
}

TEST(NtfsCli, VolumeOfAnotherFileSystemIsRefused) {
    // Volume 2 is ext4, which has its own parser; a file system without one (RAW) is refused.
    const auto result = test::run(vdrec("mbr-ext.img", "ls --start 22528 --fs RAW"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "vdrec: not a valid drive.\n");
    const auto missing = test::run(vdrec("mbr-ext.img", "ls --volume 9"));
    EXPECT_EQ(missing.err, "vdrec: please select a valid volume.\n");
}

TEST(NtfsCli, VolumeFromThePartitionTableIsListed) {
    const auto result = test::run(vdrec("mbr-ext.img", "ls --volume 0 --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find(R"("path":"p1.txt")"), std::string::npos);
}

}  // namespace
}  // namespace vdrec::cli
