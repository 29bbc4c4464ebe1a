#include "results/path_set.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace vdrec::results
