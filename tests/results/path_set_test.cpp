#include "results/path_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vdrec::results {
namespace {

TEST(PathSet, TakesEachPathOnceAndFindsOnlyWhatItTook) {
    PathSet set;
    EXPECT_FALSE(set.contains("/out/a.txt"));
    // Enough paths to grow the table several times; near-identical names in one folder.
    for (int k = 0; k < 20000; ++k) EXPECT_TRUE(set.insert("/out/folder/file " + std::to_string(k) + ".txt")) << k;
    EXPECT_TRUE(set.insert(""));
    for (int k = 0; k < 20000; ++k) {
        EXPECT_TRUE(set.contains("/out/folder/file " + std::to_string(k) + ".txt")) << k;
        EXPECT_FALSE(set.insert("/out/folder/file " + std::to_string(k) + ".txt")) << k;
        EXPECT_FALSE(set.contains("/out/folder/file " + std::to_string(k) + ".txt ")) << k;
    }
    EXPECT_TRUE(set.contains(""));
    EXPECT_FALSE(set.contains("/out/folder/file 20000.txt"));
}

TEST(PathSet, PathsLongerThanItsStorePiecesAreKeptWhole) {
    PathSet set;
    // Around and past the sizes the set stores paths in, between ordinary ones.
    std::vector<std::string> paths;
    for (const size_t length : {size_t{16} << 10, (size_t{2} << 20) - 4, size_t{2} << 20, size_t{3} << 20}) {
        paths.push_back("/out/a " + std::to_string(length));
        paths.push_back(std::string(length, 'x') + std::to_string(length));
    }
    for (const std::string& path : paths) EXPECT_TRUE(set.insert(path)) << path.size();
    for (const std::string& path : paths) {
        EXPECT_TRUE(set.contains(path)) << path.size();
        EXPECT_FALSE(set.insert(path)) << path.size();
        EXPECT_FALSE(set.contains(path.substr(1))) << path.size();
    }
}

}  // namespace
}  // namespace vdrec::results
