// The HFS+ commands on the volume xorriso puts beside an ISO 9660 image
// (tests/fixtures/make-hfsplus.sh): listing, saving with contents and times, and names holding "/".

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <utility>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

const std::string kVolume = "--start 156 --fs HFS+";

std::string vdrec(const std::string& command, const std::string& image, const std::string& args) {
    return std::string(VDREC_BINARY) + " " + command + " " + test::fixture(image) + " " + args;
}

TEST(HfsPlusCli, ListsEveryFolderAndFileWithSizesTimesAndPermissions) {
    setenv("TZ", "UTC", 1);
    const auto result = test::run(vdrec("ls", "hfsplus.iso", kVolume + " -r --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    const auto file = [](const std::string& path, const std::string& name, long size, const std::string& time) {
        return R"({"path":")" + path + R"(","name":")" + name + R"(","type":"file","deleted":false,"size":)" +
               std::to_string(size) + R"(,"created":")" + time + R"(","accessed":")" + time + R"(","modified":")" +
               time + R"(","attributes":"-Owner:W-Owner:R-OR-GR"})";
    };
    const auto dir = [](const std::string& path, const std::string& name) {
        const std::string time = "11/01/2023  00:00 AM";
        return R"({"path":")" + path + R"(","name":")" + name + R"(","type":"dir","deleted":false,"size":0,"created":")" +
               time + R"(","accessed":")" + time + R"(","modified":")" + time +
               R"(","attributes":"-Owner:X-Owner:W-Owner:R-OX-OR-GX-GR"})";
    };
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
    const std::string file0 = "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt";
    const std::vector<std::string> expected = {
        file("2020/01 report.txt", "2020/01 report.txt", 60, "05/07/2023  08:09 AM"),
        dir("docs", "docs"),
        file("docs/big.txt", "big.txt", 3145733, "07/02/2023  01:00 PM"),
        dir("docs/deep", "deep"),
        file("docs/deep/nested.txt", "nested.txt", 2000, "07/01/2023  12:30 AM"),
        dir("empty-folder", "empty-folder"),
        file("empty.txt", "empty.txt", 0, "07/03/2023  02:00 PM"),
        dir("many", "many"),
        file("readme.txt", "readme.txt", 400, "05/06/2023  07:08 AM"),
        dir(japanese, japanese),
        file(japanese + "/" + file0, file0, 130, "06/02/2023  11:00 AM"),
    };
    std::vector<std::string> listed;
    size_t many = 0;
    for (const std::string& line : test::lines(result.out)) {
        if (line.rfind(R"({"path":"many/file-)", 0) == 0) ++many;
        else listed.push_back(line);
    }
    EXPECT_EQ(listed, expected);
    // 200 files spread over several catalog leaf nodes: every node of the chain is read.
    EXPECT_EQ(many, 200u);
}

TEST(HfsPlusCli, RecoversEveryFileByteExactWithItsModificationTime) {
    struct Case {
        const char* path;  // in the output folder
        const char* sha256;
        long size;
        time_t modified;
    };
    const Case cases[] = {
        {"2020_01 report.txt", "8fa74deac9fd1b967b6da5abf375e3b3391802cc67d2105dd31cc6801bad5947", 60, 1683446950},
        {"docs/big.txt", "15e2172b4dbcfc4b0601889e705bbb2e206ef33fb81afdb92bea0ab895319b50", 3145733, 1688302800},
        {"docs/deep/nested.txt", "9dad8c17e08be313f696b195d5df51e77fde146b193ebd6b5996b6cbd89ae6b1", 2000, 1688214600},
        {"empty.txt", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", 0, 1688392800},
        {"readme.txt", "a543132e02f19657336fd8bdb5b89039f78d011928b167c5635dfdd84d5ffb48", 400, 1683356889},
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt",
         "00d8fe3aa6bd8c6945f34d226ca93a68082574342df5b5d34fa17db9d9310de3", 130, 1685703600},
    };
    // The standard scan, and the deep scan of the copy whose volume headers are zeroed.
    for (const auto& [image, mode] : {std::pair{"hfsplus.iso", ""}, std::pair{"hfsplus-noheader.iso", " --mode deep"}}) {
        test::TempDir out;
        const auto result = test::run(vdrec("recover", image, kVolume + mode + " --out " + out.path()));
        ASSERT_EQ(result.status, 0) << image << result.err;
        for (const Case& c : cases) {
            struct stat info{};
            ASSERT_EQ(::stat(out.file(c.path).c_str(), &info), 0) << image << c.path;
            EXPECT_EQ(info.st_size, c.size) << image << c.path;
            EXPECT_EQ(info.st_mtime, c.modified) << image << c.path;
            EXPECT_EQ(test::sha256(out.file(c.path)), c.sha256) << image << c.path;
        }
        const auto text = test::readFile(out.file("many/file-0137.txt"));
        EXPECT_EQ(std::string(text.begin(), text.end()), "entry 137\n") << image;
    }
}

TEST(HfsPlusCli, DeepModeListsAVolumeWithoutHeadersAtTheSamePaths) {
    setenv("TZ", "UTC", 1);
    const auto standard = test::run(vdrec("ls", "hfsplus.iso", kVolume + " -r --json"));
    const auto deep = test::run(vdrec("ls", "hfsplus-noheader.iso", kVolume + " --mode deep -r --json"));
    ASSERT_EQ(deep.status, 0) << deep.err;
    EXPECT_EQ(test::lines(deep.out).size(), 211u);
    EXPECT_EQ(deep.out, standard.out);
    EXPECT_NE(deep.out.find(R"({"path":"docs/deep/nested.txt","name":"nested.txt","type":"file","deleted":false,"size":2000,)"),
              std::string::npos);
    // The standard scan finds no volume header there.
    const auto refused = test::run(vdrec("ls", "hfsplus-noheader.iso", kVolume));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
}

TEST(HfsPlusCli, NameHoldingASlashIsSavedAsOneFileInsideTheOutputFolder) {
    test::TempDir out;
    const auto result = test::run(vdrec("recover", "hfsplus.iso", kVolume + " --out " + out.path()));
    ASSERT_EQ(result.status, 0) << result.err;
    struct stat info{};
    ASSERT_EQ(::stat(out.file("2020_01 report.txt").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    // No folder "2020" was made from the name's first part.
    EXPECT_NE(::stat(out.file("2020").c_str(), &info), 0);
    EXPECT_NE(result.out.find("2020/01 report.txt -> " + out.file("2020_01 report.txt")), std::string::npos) << result.out;
}

TEST(HfsPlusCli, VolumeWithoutAnHfsPlusHeaderIsNotScanned) {
    // Volume 2 of mbr-ext.img is ext4: no "H+" header at its byte 1024.
    const auto result = test::run(vdrec("ls", "mbr-ext.img", "--start 22528 --fs HFS+"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "vdrec: The selected volume holds no HFS+ file system.\n");
    EXPECT_EQ(result.out, "");
}

}  // namespace
}  // namespace vdrec::cli
