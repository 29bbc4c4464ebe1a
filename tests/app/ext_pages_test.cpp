// The results page driven headlessly on ext volumes made by mke2fs -d.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/pages/results_page.h"
#include "image/image_kind.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"
#include "volumes/volume_scan.h"

namespace vdrec {
namespace {

constexpr std::string_view kScanDone = "Scanning processing done.Select save button to save the data.";

struct Opened {
    image::WizardState state;
    platform::RecordingSink sink;
    volumes::VolumeEntry volume;
    Opened(const std::string& fixture, std::string sizeText) {
        state.imagePath = test::fixture(fixture);
        state.imageKind = image::ImageKind::Raw;
        EXPECT_TRUE(volumes::provideReader(state, sink));
        volume = {"extX", "0", std::move(sizeText), 0};
    }
};

bool contains(const std::vector<std::string>& texts, std::string_view text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(ExtResultsPage, ListsAndSavesAnExt4Volume) {
    Opened opened("ext4.img", "8");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{std::string(kScanDone)});
    for (const char* status : {"parsing group 4  of 4 ", "parsed inode entry 512  of 512 ", "clearing vector....",
                               "Maintaining Parent Child....", "filling root entries in  tree...."})
        EXPECT_TRUE(contains(opened.sink.statuses(), status)) << status;
    EXPECT_EQ(opened.sink.lastStatus(), kScanDone);

    results::ResultsModel& model = *page.model();
    std::vector<std::string> names;
    results::ItemId docs = results::kNoItem;
    for (results::ItemId id : model.tree.item(model.topItem).children) {
        names.push_back(model.tree.item(id).text);
        if (model.tree.item(id).text == "docs") docs = id;
    }
    for (const char* name : {"lost+found", "docs", "bigdir", "readme.txt", "sparse.bin", "link-short", "doomed.txt"})
        EXPECT_TRUE(contains(names, name)) << name;
    EXPECT_FALSE(contains(names, "null-device"));
    EXPECT_FALSE(contains(names, "."));
    ASSERT_NE(docs, results::kNoItem);
    page.labelClick(docs);
    test::TempDir out;
    opened.sink.answerFolder(out.path());
    page.save();
    EXPECT_EQ(opened.sink.messages().back(), "work done");
    EXPECT_EQ(std::filesystem::file_size(out.file("big.txt")), 300000u);
    EXPECT_EQ(std::filesystem::file_size(out.file("deep/nested.txt")), 1800u);
}

TEST(ExtResultsPage, SavingARemovedFileWithoutDataSaysSoOnce) {
    Opened opened("ext4-mounted.img", "24");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    results::ResultsModel& model = *page.model();
    results::ItemId gone = results::kNoItem;
    for (results::ItemId id : model.tree.item(model.topItem).children)
        if (model.tree.item(id).text == "gone.txt") gone = id;
    ASSERT_NE(gone, results::kNoItem);
    test::TempDir out;
    opened.sink.answerFolder(out.path());
    const size_t before = opened.sink.messages().size();
    page.doubleClick(gone);
    EXPECT_EQ(opened.sink.messages().size(), before + 1);
    EXPECT_EQ(opened.sink.messages().back(), "No data survives for gone.txt");
    EXPECT_FALSE(std::filesystem::exists(out.file("gone.txt")));
}

TEST(ExtResultsPage, AVolumeWithoutSuperblockIsRefusedNotListedEmpty) {
    Opened opened("ntfs-main.img", "8");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    EXPECT_EQ(opened.sink.messages(),
              std::vector<std::string>{"The selected volume holds no ext2, ext3 or ext4 file system."});
    EXPECT_FALSE(page.model()->tree.contains(page.model()->topItem));
}

}  // namespace
}  // namespace vdrec
