// The recovery-mode, anchor-search and results pages driven headlessly on real NTFS volumes.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/pages/anchor_search_page.h"
#include "app/pages/recovery_mode_page.h"
#include "image/image_kind.h"
#include "platform/recording_sink.h"
#include "app/pages/results_page.h"
#include "support/test_support.h"
#include "volumes/volume_scan.h"

namespace vdrec {
namespace {

constexpr std::string_view kScanDone = "Scanning processing done.Select save button to save the data.";

struct Opened {
    image::WizardState state;
    platform::RecordingSink sink;
    volumes::VolumeEntry volume;
    explicit Opened(const std::string& fixture, std::string sizeText = "0") {
        state.imagePath = test::fixture(fixture);
        state.imageKind = image::ImageKind::Raw;
        EXPECT_TRUE(volumes::provideReader(state, sink));
        volume = {"ntfs", "0", std::move(sizeText), 0};
    }
};

bool contains(const std::vector<std::string>& texts, std::string_view text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(RecoveryModePage, OffersTheModesOfEachFileSystem) {
    struct Case {
        const char* fileSystem;
        bool advanced, deep;
    } cases[] = {{"ntfs", true, true}, {"fat16", true, false}, {"fat64", true, false},
                 {"extX", false, false}, {"HFS+", false, true}};
    for (const auto& c : cases) {
        image::WizardState state;
        platform::RecordingSink sink;
        app::RecoveryModePage page(state, sink, {c.fileSystem, "0", "10", 0});
        EXPECT_TRUE(page.standardVisible && page.standardSelected) << c.fileSystem;
        EXPECT_EQ(page.advancedVisible, c.advanced) << c.fileSystem;
        EXPECT_EQ(page.deepVisible, c.deep) << c.fileSystem;
    }
}

TEST(RecoveryModePage, FormattedFlagAndAnchorCount) {
    image::WizardState state;
    platform::RecordingSink sink;
    app::RecoveryModePage page(state, sink, {"fat32", "0", "10", 0});
    page.selectAdvanced();
    EXPECT_TRUE(page.formattedEnabled && page.maxFileSystemsEnabled);
    page.setFormatted(true);
    page.selectStandard();
    EXPECT_FALSE(page.formattedDrive || page.formattedChecked || page.formattedEnabled);
    for (const char* text : {"0", "abc", "", "-2"}) {
        page.setMaxFileSystems(text);
        EXPECT_EQ(page.wantedAnchors(), 3) << text;
    }
    page.setMaxFileSystems("5");
    EXPECT_EQ(page.wantedAnchors(), 5);
}

TEST(ResultsPage, ScansThenSavesTheSelectedFolder) {
    Opened opened("ntfs-main.img");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    EXPECT_TRUE(page.inert());
    EXPECT_FALSE(page.backEnabled);
    page.waitForWorker();
    ASSERT_FALSE(page.inert());
    EXPECT_TRUE(page.backEnabled);
    EXPECT_FALSE(page.progressVisible || page.pauseVisible || page.stopVisible);
    EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{std::string(kScanDone)});
    EXPECT_EQ(opened.sink.lastStatus(), kScanDone);

    results::ResultsModel& model = *page.model();
    results::ItemId docs = results::kNoItem;
    for (results::ItemId id : model.tree.item(model.topItem).children)
        if (model.tree.item(id).text == "Docs") docs = id;
    ASSERT_NE(docs, results::kNoItem);
    page.labelClick(docs);
    EXPECT_EQ(model.list.rows().size(), 5u);  // the live and the deleted report.txt both listed

    test::TempDir out;
    opened.sink.answerFolder(out.path());
    page.save();
    EXPECT_TRUE(contains(opened.sink.questions(),
                         "Number of files found inside this folder = 10 .Do you want to continue dumping these files..?"));
    EXPECT_EQ(opened.sink.messages().back(), "work done");
    EXPECT_TRUE(std::filesystem::exists(out.file("Old/2019.txt")));
    EXPECT_TRUE(std::filesystem::exists(out.file("report (1).txt")));
    EXPECT_TRUE(std::filesystem::exists(out.file("Reports/2024/q1-summary.txt")));
}

TEST(ResultsPage, PausedScanHoldsUntilResumeAndBackWaits) {
    Opened opened("ntfs-main.img");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.pause();
    // The paused worker gets no further than its next checkpoint.
    for (int k = 0; k < 20; ++k) page.pumpWorker();
    page.worker().pumpUntil([&] { return page.worker().parked(); }, std::chrono::seconds(5));
    EXPECT_TRUE(page.worker().parked());
    const auto statuses = opened.sink.statuses().size();
    for (int k = 0; k < 20; ++k) page.pumpWorker();
    EXPECT_EQ(opened.sink.statuses().size(), statuses);
    EXPECT_FALSE(page.back());
    EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{"Please wait for the running process."});
    page.resume();
    page.waitForWorker();
    EXPECT_FALSE(page.inert());
    EXPECT_TRUE(page.back());
}

TEST(ResultsPage, StopEndsTheScanAndStillShowsItsEnd) {
    Opened opened("ntfs-main.img");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.pause();
    page.stop();
    page.waitForWorker();
    EXPECT_TRUE(contains(opened.sink.messages(), kScanDone));
    EXPECT_TRUE(contains(opened.sink.statuses(), "stop button pressed.Please wait for the process to be stopped."));
    EXPECT_TRUE(page.backEnabled);
}

TEST(ResultsPage, DestroyingAPausedPageReleasesAndJoinsItsWorker) {
    Opened opened("ntfs-main.img");
    {
        app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
        page.pause();
        page.pumpWorker();
    }
    SUCCEED();  // under ASan/TSan a worker outliving the page would be reported here
}

TEST(ResultsPage, UnknownFileSystemStartsNothingAndLeavesBackEnabled) {
    Opened opened("ntfs-main.img");
    opened.volume.fileSystem = "FAT12";
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{"not a valid drive."});
    EXPECT_EQ(opened.sink.lastStatus(), "Not a valid Drive .Go back");
    EXPECT_TRUE(page.backEnabled);
    EXPECT_TRUE(page.back());
}

TEST(ResultsPage, DoubleClickAsksForAFolderBeforeWriting) {
    Opened opened("ntfs-main.img");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    results::ResultsModel& model = *page.model();
    results::ItemId resident = results::kNoItem;
    for (results::ItemId id : model.tree.item(model.topItem).children)
        if (model.tree.item(id).text == "resident.txt") resident = id;
    ASSERT_NE(resident, results::kNoItem);
    page.doubleClick(resident);  // the picker is cancelled
    EXPECT_EQ(opened.sink.messages().back(), "Please select valid output folder");
    test::TempDir out;
    opened.sink.answerFolder(out.path());
    page.doubleClick(resident);
    EXPECT_EQ(std::filesystem::file_size(out.file("resident.txt")), 342u);
}

TEST(ResultsPage, SearchListsPathsAndEnterRunsIt) {
    Opened opened("ntfs-main.img");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    page.searchText = "\\.jpg$";
    page.enter();
    EXPECT_TRUE(page.inert());
    page.waitForWorker();
    ASSERT_FALSE(page.inert());
    const auto& rows = page.model()->list.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].texts[0], "ROOT/Photos/IMG_0001.jpg");
    EXPECT_EQ(opened.sink.messages().back(), "Searching Finished");
}

TEST(AnchorSearchPage, FindsTheMftOfAVolumeWithoutBootSectorAndHandsItOn) {
    Opened opened("ntfs-noboot.img", "11");
    app::AnchorSearchPage page(opened.state, opened.sink, opened.volume, 3);
    EXPECT_FALSE(page.nextEnabled || page.backEnabled);
    EXPECT_EQ(page.next(), nullptr);
    page.waitForWorker();
    EXPECT_EQ(page.anchorItems, std::vector<std::string>{"MFT_ENTRY:0"});
    EXPECT_EQ(page.clusterItems, (std::vector<std::string>{"8", "4", "2", "16", "32", "64"}));
    EXPECT_TRUE(contains(opened.sink.messages(),
                         "Number of MFT-ENTRY found = 1 . Please select the choice from combo box and click Parse button to proceed."));
    EXPECT_EQ(opened.sink.lastStatus(), "Parsing done.Click next to continue.");
    app::ResultsPage* results = page.next();
    ASSERT_NE(results, nullptr);
    results->waitForWorker();
    ASSERT_NE(results->model(), nullptr);
    std::vector<std::string> rootLevel;
    for (results::ItemId id : results->model()->tree.item(results->model()->topItem).children)
        rootLevel.push_back(results->model()->tree.item(id).text);
    EXPECT_TRUE(contains(rootLevel, "Docs"));
    EXPECT_TRUE(contains(rootLevel, "ORPHAN_ENTRY"));
}

TEST(AnchorSearchPage, NoAnchorRefusesNext) {
    Opened opened("mbr-ext.img", "0");
    app::AnchorSearchPage page(opened.state, opened.sink, opened.volume, 3);
    page.waitForWorker();
    EXPECT_TRUE(page.anchorItems.empty());
    EXPECT_EQ(page.next(), nullptr);
    EXPECT_EQ(opened.sink.messages().back(), "No File system Entry Found.Process cannot be continue...");
}

}  // namespace
}  // namespace vdrec
