// The vdrec command line as users and scripts see it: output, JSON lines and exit statuses.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"
#include "volumes/partition.h"
#include "volumes/volume_extent.h"

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
    EXPECT_NE(result.out.find("73728"), std::string::npos);
}

TEST(Cli, AGptEntryIsListedAndOpenedByWhatItsVolumeHolds) {
    // Entry 4, named "linuxdata" with the type "Linux filesystem", holds ext4.
    const auto listed = test::run(vdrec("volumes " + test::fixture("gpt.img") + " --gpt --json"));
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("{\"volume\":\"2\",\"fileSystem\":\"extX\""), std::string::npos) << listed.out;
    const auto opened = test::run(vdrec("ls " + test::fixture("gpt.img") + " --gpt --volume 2"));
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_NE(opened.out.find("p4.txt"), std::string::npos) << opened.out;
}

TEST(Cli, AFileSystemForcedOnAVolumeThatHoldsAnotherIsRefused) {
    struct Case {
        const char* image;
        const char* selection;
        const char* message;
    } cases[] = {
        {"ntfs-main.img", "--start 0 --fs EXTX", "The selected volume holds no ext2, ext3 or ext4 file system."},
        {"mbr-ext.img", "--start 22528 --fs NTFS", "The selected volume holds no NTFS file system."},
        {"ext4.img", "--start 0 --fs HFS+", "The selected volume holds no HFS+ file system."},
        {"ext4.img", "--start 0 --fs FAT32", "Selected Drive is not in Fat32 Format"},
        {"ext4.img", "--start 0 --fs FAT64", "Selected Drive is not in exFat Format"},
    };
    for (const Case& c : cases) {
        const auto result = test::run(vdrec("ls " + test::fixture(c.image) + " " + c.selection));
        EXPECT_EQ(result.status, 1) << c.image << " " << c.selection;
        EXPECT_EQ(result.err, std::string("vdrec: ") + c.message + "\n") << c.image << " " << c.selection;
        EXPECT_EQ(result.out, "") << c.image << " " << c.selection;
    }
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

// mbr-ext.img with its first slot's start and sector count replaced.
std::string patchedMbrExt(const test::TempDir& dir, uint32_t start, uint32_t count) {
    auto image = test::readFile(test::fixture("mbr-ext.img"));
    test::putLe32(image, 446 + 8, start);
    test::putLe32(image, 446 + 12, count);
    test::writeFile(dir.file("disk.img"), image);
    return dir.file("disk.img");
}

TEST(Cli, VolumesOfADiskWithoutATableSayWhereToLookInstead) {
    auto image = test::readFile(test::fixture("mbr-ext.img"));
    image[510] = 0;
    test::TempDir dir;
    test::writeFile(dir.file("disk.img"), image);
    const auto result = test::run(vdrec("volumes " + dir.file("disk.img") + " --json"));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "vdrec: " + std::string(volumes::kNoPartitionTable) + "\n");
    const auto advanced = test::run(vdrec("volumes " + dir.file("disk.img") + " --advanced --json"));
    EXPECT_NE(advanced.out.find("\"startSector\":2048"), std::string::npos);
}

TEST(Cli, VolumeStartingPastTheDiskEndIsRefusedAtOnce) {
    test::TempDir dir, out;
    const std::string disk = patchedMbrExt(dir, 0xFFFFFF00, 0xFFFFFFFF);
    const auto listed = test::run(vdrec("volumes " + disk + " --json"));
    EXPECT_NE(listed.out.find(R"({"volume":"0","fileSystem":"NTFS","sizeText":"past disk end","startSector":4294967040})"),
              std::string::npos)
        << listed.out;
    const std::string commands[] = {
        "ls " + disk + " --volume 0",
        "recover " + disk + " --volume 0 --out " + out.path(),
        "anchors " + disk + " --volume 0",
        "search " + disk + " --volume 0 txt",
        "ls " + test::fixture("mbr-ext.img") + " --start 49152 --fs NTFS",
        "ls " + test::fixture("mbr-ext.img") + " --start 4294967040 --fs NTFS --end 8589934080",
    };
    for (const auto& command : commands) {
        const auto result = test::run(vdrec(command));
        EXPECT_EQ(result.status, 1) << command;
        EXPECT_EQ(result.err, "vdrec: " + std::string(volumes::kVolumePastDiskEnd) + "\n") << command;
    }
}

TEST(Cli, VolumeRunningPastTheDiskEndIsReadUpToItsLastSector) {
    test::TempDir dir;
    const std::string disk = patchedMbrExt(dir, 2048, 0xFFFFFFFF);
    const auto listed = test::run(vdrec("ls " + disk + " --volume 0 --json"));
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find(R"("path":"p1.txt")"), std::string::npos);
    // The anchor search goes on to the disk's end, past the volume's own MFT to those of the
    // two NTFS volumes behind it, and no further.
    const auto anchors = test::run(vdrec("anchors " + disk + " --volume 0 --max 9 --json"));
    EXPECT_EQ(anchors.status, 0) << anchors.err;
    // MFTs at cluster 4 of each NTFS volume (fsstat), counted from volume 0's start at 2048.
    EXPECT_EQ(anchors.out,
              "{\"index\":0,\"text\":\"MFT_ENTRY:0\",\"sector\":32}\n"
              "{\"index\":1,\"text\":\"MFT_ENTRY:1\",\"sector\":28704}\n"
              "{\"index\":2,\"text\":\"MFT_ENTRY:2\",\"sector\":34848}\n");
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
