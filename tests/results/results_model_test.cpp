#include "results/results_model.h"

#include <gtest/gtest.h>

#include "results/fake_file_system.h"

namespace vdrec::results {
namespace {

// ROOT
//   Docs/            a.txt, b.txt (deleted), Sub/ (c.txt)
//   OnlyFolders/     Inner/ (d.txt)
//   Empty/
//   top.bin
struct Volume {
    FakeFileSystem fs;
    fs::EntryRef docs, a, b, sub, c, onlyFolders, inner, empty, top;
    ResultsModel model{fs};
    Volume() {
        docs = fs.add(fs::kNoEntry, "Docs", true);
        a = fs.add(docs, "a.txt", false, "alpha");
        b = fs.add(docs, "b.txt", false, "beta", true);
        sub = fs.add(docs, "Sub", true);
        c = fs.add(sub, "c.txt", false, "gamma");
        onlyFolders = fs.add(fs::kNoEntry, "OnlyFolders", true);
        inner = fs.add(onlyFolders, "Inner", true);
        fs.add(inner, "d.txt", false, "delta");
        empty = fs.add(fs::kNoEntry, "Empty", true);
        top = fs.add(fs::kNoEntry, "top.bin", false, "x");
        model.buildTopLevel();
        model.afterScan();
    }
    ItemId rootItem(const std::string& name) {
        for (ItemId id : model.tree.item(model.topItem).children)
            if (model.tree.item(id).text == name) return id;
        return kNoItem;
    }
    std::vector<std::string> childTexts(ItemId id) {
        std::vector<std::string> texts;
        for (ItemId child : model.tree.item(id).children) texts.push_back(model.tree.item(child).text);
        return texts;
    }
    std::vector<std::string> listNames() {
        std::vector<std::string> names;
        for (const auto& row : model.list.rows()) names.push_back(row.texts[0]);
        return names;
    }
};

TEST(ResultsModel, RootLevelSitsUnderRootWithPlaceholdersForFoldersWithChildren) {
    Volume v;
    EXPECT_EQ(v.model.tree.item(v.model.topItem).text, "ROOT");
    EXPECT_EQ(v.childTexts(v.model.topItem), (std::vector<std::string>{"Docs", "OnlyFolders", "Empty", "top.bin"}));
    EXPECT_EQ(v.childTexts(v.rootItem("Docs")), std::vector<std::string>{"..DUMY.."});
    EXPECT_TRUE(v.childTexts(v.rootItem("Empty")).empty());
}

TEST(ResultsModel, LabelClickListsTheFolderFilesInTheDeletedStyle) {
    Volume v;
    const ItemId docs = v.rootItem("Docs");
    v.model.labelClick(docs);
    EXPECT_EQ(v.childTexts(docs), (std::vector<std::string>{"a.txt", "b.txt", "Sub"}));
    EXPECT_EQ(v.listNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(v.model.list.rows()[1].texts[4], "4 Bytes");
    EXPECT_TRUE(v.model.tree.item(v.model.tree.item(docs).children[1]).deletedStyle);
    EXPECT_FALSE(v.model.tree.item(v.model.tree.item(docs).children[0]).deletedStyle);
    EXPECT_EQ(v.childTexts(v.model.tree.item(docs).children[2]), std::vector<std::string>{"..DUMY.."});
}

TEST(ResultsModel, ExpandedThenClickedFolderKeepsChildrenWithoutTheDeletedStyle) {
    Volume v;
    const ItemId docs = v.rootItem("Docs");
    v.model.expand(docs);
    v.model.labelClick(docs);
    EXPECT_FALSE(v.model.tree.item(v.model.tree.item(docs).children[1]).deletedStyle);
    EXPECT_EQ(v.listNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(ResultsModel, FoldersOnlyGiveAnEmptyListAndAChildlessFolderLeavesTheList) {
    Volume v;
    v.model.labelClick(v.rootItem("top.bin"));
    EXPECT_EQ(v.listNames(), std::vector<std::string>{"top.bin"});
    v.model.labelClick(v.rootItem("Empty"));
    EXPECT_EQ(v.listNames(), std::vector<std::string>{"top.bin"});
    v.model.labelClick(v.rootItem("OnlyFolders"));
    EXPECT_TRUE(v.listNames().empty());
}

TEST(ResultsModel, TopItemCarriesNoEntryAndChangesNothing) {
    Volume v;
    v.model.labelClick(v.rootItem("top.bin"));
    v.model.labelClick(v.model.topItem);
    v.model.expand(v.model.topItem);
    EXPECT_FALSE(v.model.doubleClick(v.model.topItem));
    EXPECT_EQ(v.listNames(), std::vector<std::string>{"top.bin"});
}

TEST(ResultsModel, ExpandingACheckedFolderInsertsCheckedChildren) {
    Volume v;
    const ItemId docs = v.rootItem("Docs");
    v.model.tree.setCheck(docs, true);
    v.model.expand(docs);
    for (ItemId child : v.model.tree.item(docs).children) EXPECT_TRUE(v.model.tree.item(child).checked);
    EXPECT_EQ(v.model.tree.displayedState(docs), CheckState::Checked);
}

TEST(ResultsModel, RulesOfOtherFileSystemsLeaveNewChildrenUnchecked) {
    Volume v;
    v.fs.rules_ = {};
    const ItemId docs = v.rootItem("Docs");
    v.model.tree.setCheck(docs, true);
    v.model.expand(docs);
    for (ItemId child : v.model.tree.item(docs).children) EXPECT_FALSE(v.model.tree.item(child).checked);
    EXPECT_FALSE(v.model.tree.getCheck(docs));
}

TEST(ResultsModel, ExpansionStopsAtTheFirstUnnamedChild) {
    Volume v;
    v.fs.at(v.b).name = "";
    const ItemId docs = v.rootItem("Docs");
    v.model.expand(docs);
    EXPECT_EQ(v.childTexts(docs), std::vector<std::string>{"a.txt"});
}

TEST(ResultsModel, DoubleClickOnAFileAsksForItsCopyAndOnAFolderListsItsFiles) {
    Volume v;
    const ItemId docs = v.rootItem("Docs");
    EXPECT_FALSE(v.model.doubleClick(docs));
    EXPECT_EQ(v.listNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(v.model.list.rows()[0].texts[1], "");
    EXPECT_EQ(v.model.doubleClick(v.model.tree.item(docs).children[0]), v.a);
}

TEST(ResultsModel, ListCheckBoxesMirrorIntoTheTreeButNotForSearchResults) {
    Volume v;
    const ItemId docs = v.rootItem("Docs");
    v.model.labelClick(docs);
    v.model.listCheckClick(0);
    EXPECT_TRUE(v.model.tree.item(v.model.tree.item(docs).children[0]).checked);
    EXPECT_EQ(v.model.tree.displayedState(docs), CheckState::Partial);
    v.model.listShowsSearchResults = true;
    v.model.listCheckClick(1);
    EXPECT_FALSE(v.model.tree.item(v.model.tree.item(docs).children[1]).checked);
}

TEST(ResultsModel, ARealEntryNamedLikeThePlaceholderIsKept) {
    Volume v;
    v.fs.at(v.a).name = "..DUMY..";
    const ItemId docs = v.rootItem("Docs");
    v.model.labelClick(docs);
    v.model.labelClick(docs);
    EXPECT_EQ(v.childTexts(docs), (std::vector<std::string>{"..DUMY..", "b.txt", "Sub"}));
}

TEST(ResultsModel, LoopingChildLinksInsertEachChildOnce) {
    Volume v;
    v.fs.at(v.sub).nextSibling = v.a;  // Docs: a, b, Sub, a, b, Sub, ...
    const ItemId docs = v.rootItem("Docs");
    v.model.labelClick(docs);
    EXPECT_EQ(v.childTexts(docs), (std::vector<std::string>{"a.txt", "b.txt", "Sub"}));
}

std::vector<uint8_t> utf16(const std::string& ascii) {
    std::vector<uint8_t> out;
    for (char c : ascii) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

std::string indexFile(uint64_t version, const std::string& path) {
    std::vector<uint8_t> bytes(24, 0);
    bytes[0] = static_cast<uint8_t>(version);
    if (version == 2) {
        const uint32_t length = static_cast<uint32_t>(path.size() + 1);
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(length >> (8 * k)));
    }
    auto name = utf16(path);
    bytes.insert(bytes.end(), name.begin(), name.end());
    bytes.push_back(0);
    bytes.push_back(0);
    if (version == 1) bytes.resize(24 + 520, 0);
    return std::string(bytes.begin(), bytes.end());
}

TEST(RecycleBin, BothIndexLayoutsGiveBackTheOriginalName) {
    struct Case {
        uint64_t version;
        std::string recorded;
        std::string expected;
    } cases[] = {
        {2, "C:\\Users\\me\\Documents\\budget 2024.txt", "budget 2024.txt"},
        {1, "C:\\old\\notes.doc", "notes.doc"},
        {2, "nobackslash.txt", "nobackslash.txt"},
        {7, "C:\\x\\unknown.txt", "$RAB.txt"},
    };
    for (const auto& c : cases) {
        FakeFileSystem fs;
        const auto bin = fs.add(fs::kNoEntry, "$RECYCLE.BIN", true);
        const auto user = fs.add(bin, "S-1-5-21-1", true);
        fs.add(user, "$IAB.txt", false, indexFile(c.version, c.recorded));
        const auto recycled = fs.add(user, "$RAB.txt", false, "data");
        ResultsModel model(fs);
        model.buildTopLevel();
        model.restoreRecycledNames();
        EXPECT_EQ(fs.name(recycled), c.expected) << c.recorded;
    }
}

TEST(RecycleBin, Version2PathIsBoundedByItsLengthAndTheFile) {
    std::string file = indexFile(2, "C:\\a\\long-name.txt");
    file[24] = 9;  // only "C:\a\long" counts
    EXPECT_EQ(recycledOriginalPath(std::vector<uint8_t>(file.begin(), file.end())), "long");
    file[24] = static_cast<char>(0xFF);
    file[25] = static_cast<char>(0xFF);
    file.resize(40);
    EXPECT_EQ(recycledOriginalPath(std::vector<uint8_t>(file.begin(), file.end())), "l");
    EXPECT_FALSE(recycledOriginalPath({1, 0, 0}));
}

}  // namespace
}  // namespace vdrec::results
