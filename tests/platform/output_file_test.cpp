#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace vdrec::platform {
namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(OutputFile, CreateEmptyMakesANewEmptyFileWithItsTimesAndNeverTouchesWhatIsThere) {
    struct Case {
        const char* what;
        bool folderHandles;  // as on a saving thread
        const char* existing;  // "file", "link" (to a file outside), or nothing
    };
    const Case cases[] = {
        {"new name", false, nullptr},
        {"new name, folder held open", true, nullptr},
        {"existing file", true, "file"},
        {"existing link", true, "link"},
        {"existing link, no folder handles", false, "link"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string outside = dir.file("outside.txt");
        std::ofstream(outside) << "keep";
        const std::string path = dir.file("empty.bin");
        if (c.existing && std::string(c.existing) == "file") std::ofstream(path) << "old";
        if (c.existing && std::string(c.existing) == "link") {
            ASSERT_EQ(::symlink(outside.c_str(), path.c_str()), 0);
        }
        struct stat before{};
        ASSERT_EQ(::stat(outside.c_str(), &before), 0);
        std::optional<FolderHandleCache> handles;
        if (c.folderHandles) handles.emplace();
        const int error = OutputFile::createEmpty(path, UnixTime{1600000000}, UnixTime{1500000000});
        struct stat info{};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0) << c.what;
        if (!c.existing) {
            EXPECT_EQ(error, 0) << c.what;
            EXPECT_TRUE(S_ISREG(info.st_mode)) << c.what;
            EXPECT_EQ(info.st_size, 0) << c.what;
            EXPECT_EQ(info.st_mtime, 1500000000) << c.what;
            EXPECT_EQ(info.st_atime, 1600000000) << c.what;
            continue;
        }
        EXPECT_EQ(error, EEXIST) << c.what;
        struct stat after{};
        ASSERT_EQ(::stat(outside.c_str(), &after), 0);
        EXPECT_EQ(contents(outside), "keep") << c.what;
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec) << c.what;
        if (std::string(c.existing) == "file") {
            EXPECT_EQ(contents(path), "old") << c.what;
        }
    }
}

}  // namespace
}  // namespace vdrec::platform
