// The exFAT commands on mkfs.exfat/exfat-fuse volumes: listing, saving with times, search and
// the advanced rebuild of volumes whose boot region is zeroed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_support.h"

namespace vdrec::cli {
namespace {

std::string vdrec(const std::string& command, const std::string& image, const std::string& args) {
    return std::string(VDREC_BINARY) + " " + command + " " + test::fixture(image) + " " + args;
}

// A saved file as the fixture's README records it.
struct SavedCase {
    const char* path;
    const char* sha256;
    int64_t size, modified;
};

void expectSaved(const test::TempDir& out, const std::vector<SavedCase>& cases) {
    for (const auto& c : cases) {
        struct stat info{};
        ASSERT_EQ(::stat(out.file(c.path).c_str(), &info), 0) << c.path;
        EXPECT_EQ(info.st_size, c.size) << c.path;
        EXPECT_EQ(info.st_mtime, c.modified) << c.path;
        EXPECT_EQ(test::sha256(out.file(c.path)), c.sha256) << c.path;
    }
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
    const std::vector<SavedCase> cases = {
        {"Frag/fragmented.txt", "2e3c77939567282ee7f30e793171244eed9087c97117869ab942a8fa2705c850", 33000, 1688256000},
        {"prealloc.bin", "2f8ae943cfbddd2f3f4a02ec0f94cc962ea93b83c5014f06613716ff5e80fc3c", 19200, 1675753628},
        {"Old/DELMANY.BIN", "f3562577fbee62960bcb80b4ef30fa99c970c83a90fe922d57cd4583470cb423", 9000, 1696154404},
        {"Deleted Long Name File.txt", "62b25ae41d407b7b701dcf4ea9e23fa0383e9393f61276918ef52e98e9cf41cc", 10200, 1696154402},
    };
    expectSaved(out, cases);
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

TEST(ExfatCli, AFolderRemovedWithItsFilesIsListedAndSavedWhole) {
    const auto listed = test::run(vdrec("ls", "exfat-deleted.img", "--start 0 --fs FAT64 -r"));
    ASSERT_EQ(listed.status, 0) << listed.err;
    for (const char* path : {"Trip", "Trip/Day 1", "Trip/Day 1/photos.txt", "Trip/Day 2/diary.txt", "Trip/itinerary.txt"})
        EXPECT_NE(listed.out.find(path), std::string::npos) << path;

    test::TempDir out;
    const auto saved = test::run(vdrec("recover", "exfat-deleted.img", "--start 0 --fs FAT64 --out " + out.path()));
    ASSERT_EQ(saved.status, 0) << saved.err;
    const std::vector<SavedCase> cases = {
        {"Keep/notes.txt", "7b91bfd0fafaeb8d2c4092d68e64e3de31bc5e17f513b4f1088b371a419129e5", 320, 1709283600},
        {"Trip/itinerary.txt", "fb2ed3899927b45b1bb3f42400e2eb26f1dabece667e250da0f486a1589fbd8d", 840, 1709373600},
        {"Trip/Day 1/photos.txt", "78bfceb046e95334d643e4fa1a79e6af4cbb0d3b81cc608a2ad98cf772aaa707", 15400, 1709377202},
        {"Trip/Day 2/diary.txt", "a9acfbfc55d7ce466b0da64010e39f7604ab139ad6b6ffd9f4e276c73b654e3c", 570, 1709469004},
    };
    expectSaved(out, cases);
}

TEST(ExfatCli, ARootFolderOutsideTheVolumeIsAnErrorNotAnEmptyListing) {
    test::TempDir dir;
    auto bytes = test::readFile(test::fixture("exfat.img"));
    for (size_t k = 0; k < 4; ++k) bytes[96 + k] = 0xF0;  // FirstClusterOfRootDirectory far past the heap
    const std::string path = dir.file("root-gone.img");
    test::writeFile(path, bytes);
    const auto result = test::run(std::string(VDREC_BINARY) + " ls " + path + " --start 0 --fs FAT64");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("error..."), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
}

// 1 MiB of the fixture's marks: "mark TAG" padded to 32 bytes, over and over.
std::string markBytes(const std::string& tag) {
    std::string unit = "mark " + tag;
    unit.resize(32, ' ');
    std::string bytes;
    bytes.reserve(1 << 20);
    while (bytes.size() < (1u << 20)) bytes += unit;
    return bytes;
}

std::string bytesAt(int fd, uint64_t offset, size_t size) {
    std::string bytes(size, '\0');
    const ssize_t got = ::pread(fd, bytes.data(), size, static_cast<off_t>(offset));
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
}

TEST(ExfatCli, SavesAFileLargerThanFourGibibytesWhole) {
    const uint64_t size = (4ull << 30) + (3ull << 20) + 12345;
    const auto listed = test::run(vdrec("ls", "exfat-large.img", "--start 0 --fs FAT64 --json"));
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find(R"("name":"big.bin","type":"file","deleted":false,"size":4298125369,)"), std::string::npos)
        << listed.out;

    test::TempDir out;
    const auto saved = test::run(vdrec("recover", "exfat-large.img", "--start 0 --fs FAT64 --out " + out.path()));
    ASSERT_EQ(saved.status, 0) << saved.err;
    struct stat info{};
    ASSERT_EQ(::stat(out.file("big.bin").c_str(), &info), 0);
    EXPECT_EQ(static_cast<uint64_t>(info.st_size), size);
    EXPECT_EQ(info.st_mtime, 1683033256);  // 2023-05-02 13:14:16 UTC

    const int fd = ::open(out.file("big.bin").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    std::string end = markBytes("end");
    end.back() = 'Z';
    const uint64_t boundary = (4ull << 30) - (512 << 10);
    EXPECT_EQ(bytesAt(fd, 0, 1 << 20), markBytes("start"));
    EXPECT_EQ(bytesAt(fd, boundary, 1 << 20), markBytes("boundary"));
    EXPECT_EQ(bytesAt(fd, size - (1 << 20), 1 << 20), end);
    // Between the marks the file is zeros, also just past 4 GiB.
    const std::string zeros(4096, '\0');
    for (const uint64_t at : {uint64_t{1} << 20, uint64_t{3} << 30, boundary + (1 << 20), size - (2 << 20)})
        EXPECT_EQ(bytesAt(fd, at, zeros.size()), zeros) << at;
    ::close(fd);
}

}  // namespace
}  // namespace vdrec::cli
