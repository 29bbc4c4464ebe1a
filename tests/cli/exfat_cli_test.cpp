// The exFAT commands on mkfs.exfat/exfat-fuse volumes: listing, saving with times, search and
// the advanced rebuild of volumes whose boot region is zeroed.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

std::string vdrec(const std::string& command, const std::string& image, const std::string& args) {
    return std::string(VDREC_BINARY) + " " + command + " " + test::fixture(image) + " " + args;
}

TEST(ExfatCli, ListsAFolderWithTimesSizesAndAttributes) {
    setenv("TZ", "UTC", 1);
    const auto result = test::run(vdrec("ls", "exfat.img", "--start 0 --fs FAT64 --path Frag --json"));
    ASSERT_EQ(result.status, 0) << result.err;
    // Creation times are exfat-fuse's clock when the fixture was made: left out.
    std::vector<std::string> listed;
    for (std::string line : test::lines(result.out)) {
        const size_t created = line.find("\"created\":");
        if (created != std::string::npos) line.erase(created, line.find(',', created) + 1 - created);
        listed.push_back(line);
    }
    const std::vector<std::string> expected = {
        R"({"path":"Frag/before.txt","name":"before.txt","type":"file","deleted":false,"size":180,"accessed":"07/01/2023  00:00 AM","modified":"07/01/2023  00:00 AM","attributes":"-A"})",
        R"({"path":"Frag/fragmented.txt","name":"fragmented.txt","type":"file","deleted":false,"size":33000,"accessed":"07/02/2023  00:00 AM","modified":"07/02/2023  00:00 AM","attributes":"-A"})",
        R"({"path":"Frag/between.txt","name":"between.txt","type":"file","deleted":false,"size":190,"accessed":"07/01/2023  00:00 AM","modified":"07/01/2023  00:00 AM","attributes":"-A"})",
        R"({"path":"Frag/gap2.tmp","name":"gap2.tmp","type":"file","deleted":true,"size":8000,"accessed":"07/01/2023  00:00 AM","modified":"07/01/2023  00:00 AM","attributes":"-A"})",
        R"({"path":"Frag/after.txt","name":"after.txt","type":"file","deleted":false,"size":170,"accessed":"07/01/2023  00:00 AM","modified":"07/01/2023  00:00 AM","attributes":"-A"})",
    };
    EXPECT_EQ(listed, expected);
}

TEST(ExfatCli, RecoversTheVolumeByteExactWithModificationTimes) {
    test::TempDir out;
    const auto result = test::run(vdrec("recover", "exfat.img", "--start 0 --fs FAT64 --out " + out.path()));
    ASSERT_EQ(result.status, 0) << result.err;
    const struct {
        const char* path;
        const char* sha256;
        int64_t size, modified;
    } cases[] = {
        {"Frag/fragmented.txt", "2e3c77939567282ee7f30e793171244eed9087c97117869ab942a8fa2705c850", 33000, 1688256000},
        {"prealloc.bin", "2f8ae943cfbddd2f3f4a02ec0f94cc962ea93b83c5014f06613716ff5e80fc3c", 19200, 1675753628},
        {"Old/DELMANY.BIN", "f3562577fbee62960bcb80b4ef30fa99c970c83a90fe922d57cd4583470cb423", 9000, 1696154404},
        {"Deleted Long Name File.txt", "62b25ae41d407b7b701dcf4ea9e23fa0383e9393f61276918ef52e98e9cf41cc", 10200, 1696154402},
    };
    for (const auto& c : cases) {
        struct stat info{};
        ASSERT_EQ(::stat(out.file(c.path).c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_size, c.size) << c.path;
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
        EXPECT_EQ(test::sha256(out.file(c.path)), c.sha256) << c.path;
    }
    size_t many = 0;
    for (int k = 1; k <= 300; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "Many/item-%03d.txt", k);
        struct stat info{};
        if (::stat(out.file(name).c_str(), &info) == 0 && info.st_size == 22) ++many;
    }
    EXPECT_EQ(many, 300u);
}

TEST(ExfatCli, SearchFindsNamesInEveryFolder) {
    const auto result = test::run(vdrec("search", "exfat.img", "--start 0 --fs FAT64 'item-30[0-9]|q1\\.txt|^a$'"));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(test::lines(result.out).size(), 3u) << result.out;  // item-300.txt, q1.txt, a
}

TEST(ExfatCli, AdvancedModeRebuildsVolumesWithoutBootRegion) {
    const struct {
        const char *intact, *damaged, *choice;
    } cases[] = {{"exfat.img", "exfat-noboot.img", "--anchor 0 --heap 0 --cluster 3"},
                 // Without --cluster: the shift inferred from the root, 3.
                 {"exfat.img", "exfat-noboot.img", ""},
                 // The backup boot region gives the heap and the cluster shift.
                 {"exfat-32k.img", "exfat-32k-noboot.img", "--anchor 0 --heap 0"}};
    for (const auto& c : cases) {
        const auto standard = test::run(vdrec("ls", c.intact, "--start 0 --fs FAT64 -r --json"));
        const auto advanced =
            test::run(vdrec("ls", c.damaged, std::string("--start 0 --fs FAT64 --mode advanced -r --json ") + c.choice));
        ASSERT_EQ(advanced.status, 0) << advanced.err;
        EXPECT_EQ(advanced.out, standard.out) << c.damaged;
        const auto refused = test::run(vdrec("ls", c.damaged, "--start 0 --fs FAT64"));
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find("Selected Drive is not in exFat Format"), std::string::npos) << refused.err;
    }
}

}  // namespace
}  // namespace vdrec::cli
