// The vdrec command line as users and scripts see it: output, JSON lines and exit statuses.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

std::string vdrec(const std::string& args) { return std::string(VDREC_BINARY) + " " + args; }

TEST(Cli, VolumesJsonPrintsOneObjectPerVolume) {
    const auto result = test::run(vdrec("volumes " + test::fixture("mbr-ext.img") + " --json"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"volume\":\"0\",\"fileSystem\":\"NTFS\",\"sizeText\":\"4   MB\",\"startSector\":2048}\n"
              "{\"volume\":\"1\",\"fileSystem\":\"FAT16\",\"sizeText\":\"4   MB\",\"startSector\":12288}\n"
              "{\"volume\":\"2\",\"fileSystem\":\"extX\",\"sizeText\":\"3   MB\",\"startSector\":22528}\n"
              "{\"volume\":\"3\",\"fileSystem\":\"NTFS\",\"sizeText\":\"3   MB\",\"startSector\":30720}\n");
    EXPECT_EQ(result.err, "");
}

TEST(Cli, VolumesTextShowsTheFourColumns) {
    const auto result = test::run(vdrec("volumes " + test::fixture("gpt.img") + " --gpt"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("VOLUME"), std::string::npos);
    EXPECT_NE(result.out.find("START_SECTOR"), std::string::npos);
    EXPECT_NE(result.out.find("linuxdata"), std::string::npos);
    EXPECT_NE(result.out.find("73728"), std::string::npos);
}

TEST(Cli, VolumesOfAContainerUseTheReaderItsContentNamesWhateverItsName) {
    test::TempDir dir;
    std::filesystem::copy_file(test::fixture("pattern-dynamic.vhd"), dir.file("disk.bin"));
    std::filesystem::copy_file(test::fixture("pattern.vdi"), dir.file("disk.img"));
    for (const std::string& image : {test::fixture("pattern.vmdk"), dir.file("disk.bin"), dir.file("disk.img")}) {
        const auto result = test::run(vdrec("volumes " + image + " --json"));
        EXPECT_EQ(result.status, 0) << image << "\n" << result.err;
        EXPECT_EQ(result.out, "{\"volume\":\"0\",\"fileSystem\":\"FAT16\",\"sizeText\":\"4   MB\",\"startSector\":2048}\n")
            << image;
    }
}

TEST(Cli, AdvancedScanHonoursItsRange) {
    const auto result =
        test::run(vdrec("volumes " + test::fixture("mbr-ext.img") + " --advanced --from 10240 --to 20000 --json"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "{\"volume\":\"0\",\"fileSystem\":\"FAT16\",\"sizeText\":\"4  MB\",\"startSector\":12288}\n");
}

TEST(Cli, InfoJsonPrintsTheHeaderFacts) {
    const auto result = test::run(vdrec("info " + test::fixture("pattern-dynamic.vhd") + " --json"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"kind\":\"vhd\",\"fileFormatVersion\":\"65536\",\"sectorsPerTrack\":\"255\",\"heads\":\"16\","
              "\"cylinders\":\"65535\",\"sizeOfHddMB\":64,\"maximumTableEntries\":32}\n");
}

TEST(Cli, ExportWritesTheRawDiskIntoTheFolder) {
    test::TempDir dir;
    const auto result = test::run(vdrec("export " + test::fixture("pattern.vdi") + " " + dir.path()));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, dir.file("pattern.vdi.img") + "\n");
    EXPECT_EQ(test::readFile(dir.file("pattern.vdi.img")), test::readFile(test::fixture("pattern.raw")));
}

TEST(Cli, ExportOfARelativePathIsNamedAfterTheImage) {
    test::TempDir dir;
    std::filesystem::copy_file(test::fixture("pattern-dynamic.vhd"), dir.file("disk.vhd"));
    std::filesystem::create_directory(dir.file("out"));
    const auto result = test::run("cd " + dir.path() + " && " + vdrec("export disk.vhd out"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "out/disk.vhd.img\n");
    EXPECT_EQ(test::readFile(dir.file("out/disk.vhd.img")), test::readFile(test::fixture("pattern.raw")));
}

TEST(Cli, FailuresAndUsageErrorsHaveTheirExitStatus) {
    struct Case {
        std::string args;
        int status;
        std::string errStart;
    } cases[] = {
        {"volumes /nonexistent.img", 1, "vdrec: Please select valid path to continue the recovery process.\n"},
        {"volumes", 2, ""},
        {"volumes " + test::fixture("mbr-ext.img") + " --from 5", 2, ""},
        {"frobnicate", 2, ""},
        {"export " + test::fixture("pattern.raw") + " /nonexistent-folder", 1, "vdrec: Please choose a folder.\n"},
    };
    for (const auto& c : cases) {
        const auto result = test::run(vdrec(c.args));
        EXPECT_EQ(result.status, c.status) << c.args << "\n" << result.err;
        if (!c.errStart.empty()) {
            EXPECT_EQ(result.err, c.errStart) << c.args;
        }
    }
}

}  // namespace
}  // namespace vdrec::cli
