#include "entry_output.h"

#include <gtest/gtest.h>

#include "results/fake_file_system.h"

namespace vdrec::cli {
namespace {

TEST(ChildrenOf, ListsAChainOnceUpToItsFirstRepeat) {
    // A folder of `count` files whose last file links back to file `backTo` (or to the folder
    // itself, or nowhere), as damaged links on disk may.
    struct Case {
        int count;
        int backTo;  // -1: the chain ends; -2: back to the folder
    };
    const Case cases[] = {{1, -1}, {5, -1}, {1, 0}, {2, 0}, {2, 1}, {7, 0}, {7, 3}, {7, 6},
                          {64, 0}, {64, 31}, {100, 99}, {129, 1}, {6, -2}};
    for (const Case& c : cases) {
        results::FakeFileSystem fs;
        const fs::EntryRef folder = fs.add(fs::kNoEntry, "Docs", true);
        std::vector<fs::EntryRef> files;
        for (int k = 0; k < c.count; ++k) files.push_back(fs.add(folder, "f" + std::to_string(k), false));
        if (c.backTo >= 0) fs.at(files.back()).nextSibling = files[static_cast<size_t>(c.backTo)];
        if (c.backTo == -2) fs.at(files.back()).nextSibling = folder;
        EXPECT_EQ(childrenOf(fs, folder), files) << c.count << " back to " << c.backTo;
    }
}

}  // namespace
}  // namespace vdrec::cli
