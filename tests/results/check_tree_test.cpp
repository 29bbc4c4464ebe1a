#include "results/check_tree.h"

#include <gtest/gtest.h>

namespace vdrec::results {
namespace {

struct SampleTree {
    CheckTree tree;
    ItemId folder, files[3], sub, subFiles[2];
    SampleTree() {
        folder = tree.insert(kNoItem, "folder", ItemIcon::Folder, 1);
        for (auto& f : files) f = tree.insert(folder, "f", ItemIcon::File, 2);
        sub = tree.insert(folder, "sub", ItemIcon::Folder, 3);
        for (auto& f : subFiles) f = tree.insert(sub, "g", ItemIcon::File, 4);
    }
};

TEST(CheckTree, CheckingAFolderChecksEverythingBelowIt) {
    SampleTree t;
    t.tree.setCheck(t.folder, true);
    for (ItemId id : {t.folder, t.files[0], t.files[1], t.files[2], t.sub, t.subFiles[0], t.subFiles[1]})
        EXPECT_EQ(t.tree.displayedState(id), CheckState::Checked) << id;
    EXPECT_TRUE(t.tree.getCheck(t.folder));
}

TEST(CheckTree, ClearingOneFileMakesEveryAncestorPartial) {
    SampleTree t;
    t.tree.setCheck(t.folder, true);
    t.tree.setCheck(t.subFiles[1], false);
    EXPECT_EQ(t.tree.displayedState(t.sub), CheckState::Partial);
    EXPECT_EQ(t.tree.displayedState(t.folder), CheckState::Partial);
    EXPECT_FALSE(t.tree.getCheck(t.folder));
    t.tree.setCheck(t.subFiles[1], true);
    EXPECT_EQ(t.tree.displayedState(t.folder), CheckState::Checked);
}

TEST(CheckTree, InsertingAnUncheckedChildUnderACheckedFolderMakesItPartial) {
    SampleTree t;
    t.tree.setCheck(t.sub, true);
    t.tree.insert(t.sub, "new", ItemIcon::File, 5);
    EXPECT_EQ(t.tree.displayedState(t.sub), CheckState::Partial);
}

TEST(CheckTree, DeletingACheckedPlaceholderLeavesTheFolderChecked) {
    CheckTree tree;
    const ItemId folder = tree.insert(kNoItem, "folder", ItemIcon::Folder, 1);
    const ItemId placeholder = tree.insert(folder, kPlaceholderText, ItemIcon::Placeholder, std::nullopt);
    tree.setCheck(folder, true);
    tree.remove(placeholder);
    EXPECT_EQ(tree.displayedState(folder), CheckState::Checked);
    EXPECT_TRUE(tree.item(folder).children.empty());
}

TEST(CheckTree, UnknownItemsAreIgnored) {
    CheckTree tree;
    tree.setCheck(42, true);
    EXPECT_FALSE(tree.getCheck(42));
    EXPECT_EQ(tree.displayedState(-5), CheckState::Unchecked);
}

}  // namespace
}  // namespace vdrec::results
