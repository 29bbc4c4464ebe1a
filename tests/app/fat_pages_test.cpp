// The recovery-mode, anchor-search and results pages driven headlessly on FAT volumes made by
// mkfs.fat and mtools.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/pages/anchor_search_page.h"
#include "app/pages/recovery_mode_page.h"
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
    Opened(const std::string& fixture, const std::string& fileSystem, std::string sizeText) {
        state.imagePath = test::fixture(fixture);
        state.imageKind = image::ImageKind::Raw;
        EXPECT_TRUE(volumes::provideReader(state, sink));
        volume = {fileSystem, "0", std::move(sizeText), 0};
    }
};

bool contains(const std::vector<std::string>& texts, std::string_view text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::vector<std::string> rootLevel(app::ResultsPage& page) {
    std::vector<std::string> names;
    results::ResultsModel* model = page.model();
    if (model == nullptr || !model->tree.contains(model->topItem)) return names;
    for (results::ItemId id : model->tree.item(model->topItem).children) names.push_back(model->tree.item(id).text);
    return names;
}

TEST(FatRecoveryModePage, FatVolumesAsTheScanNamesThemOfferStandardAdvancedAndFormatted) {
    for (const char* fileSystem : {"FAT16", "FAT32", "fat16"}) {
        image::WizardState state;
        platform::RecordingSink sink;
        app::RecoveryModePage page(state, sink, {fileSystem, "0", "10", 0});
        EXPECT_TRUE(page.advancedVisible) << fileSystem;
        EXPECT_FALSE(page.deepVisible) << fileSystem;
        page.selectAdvanced();
        EXPECT_TRUE(page.formattedEnabled) << fileSystem;
    }
}

TEST(FatResultsPage, ListsAndSavesAStandardFat16Volume) {
    Opened opened("fat16.img", "FAT16", "4");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{std::string(kScanDone)});
    EXPECT_TRUE(contains(opened.sink.statuses(), "Finding Fat16 File And Directory entries recursively...."));
    EXPECT_TRUE(contains(opened.sink.statuses(), "Tree Structure Created."));
    const auto names = rootLevel(page);
    for (const char* name : {"README.TXT", "HIDDEN.TXT", "Hidden Folder", "Docs", "Logs", "Deleted Long Name File.txt"})
        EXPECT_TRUE(contains(names, name)) << name;
    EXPECT_FALSE(contains(names, "DUMMY ENTRY"));

    results::ResultsModel& model = *page.model();
    results::ItemId docs = results::kNoItem;
    for (results::ItemId id : model.tree.item(model.topItem).children)
        if (model.tree.item(id).text == "Docs") docs = id;
    ASSERT_NE(docs, results::kNoItem);
    page.labelClick(docs);
    test::TempDir out;
    opened.sink.answerFolder(out.path());
    page.save();
    EXPECT_EQ(opened.sink.messages().back(), "work done");
    EXPECT_TRUE(std::filesystem::exists(out.file("Reports/2024/q1.txt")));
    EXPECT_EQ(std::filesystem::file_size(out.file("Reports/index.txt")), 30u);
}

TEST(FatResultsPage, ABootSectorOfAnotherTypeIsRefusedWithItsMessage) {
    Opened opened("fat32.img", "FAT16", "34");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{"Selected Drive is not in Fat16 Format"});
    EXPECT_TRUE(page.backEnabled);
    EXPECT_TRUE(rootLevel(page).empty());
}

TEST(FatAnchorSearchPage, FindsBothFatCopiesOfAVolumeWithoutBootSectorAndRebuildsItsTree) {
    const struct {
        const char* fixture;
        const char* fileSystem;
        const char* sizeText;
        const char* label;
        std::vector<std::string> anchors, clusters;
        const char* summary;
    } cases[] = {
        {"fat16-noboot.img", "FAT16", "4", "Total fat16 Entries Found:", {"FAT_ENTRY:0", "FAT_ENTRY:1"},
         {"4", "8", "16", "2", "32", "64", "128", "1"},
         "Number of FAT-ENTRY found = 2 . Please select the choice from combo box and click Parse button to proceed."},
        {"fat32-noboot.img", "FAT32", "34", "TFS :", {"FAT32_ENTRY:0", "FAT32_ENTRY:1"}, {"2", "4", "16", "32", "64", "8", "1"},
         "Number of FAT32-ENTRY found = 2 . Please select the choice from combo box and click Parse button to proceed."},
    };
    for (const auto& c : cases) {
        Opened opened(c.fixture, c.fileSystem, c.sizeText);
        app::AnchorSearchPage page(opened.state, opened.sink, opened.volume, 3);
        page.waitForWorker();
        EXPECT_EQ(page.anchorLabel, c.label) << c.fixture;
        EXPECT_EQ(page.anchorItems, c.anchors) << c.fixture;
        EXPECT_EQ(page.clusterItems, c.clusters) << c.fixture;
        EXPECT_TRUE(contains(opened.sink.messages(), c.summary)) << c.fixture;
        EXPECT_EQ(opened.sink.lastStatus(), "Parsing done.Click Next to continue.");
        // The volumes have 512-byte clusters.
        page.selectClusterSize(static_cast<int>(page.clusterItems.size() - 1));
        page.selectAnchor(1);
        app::ResultsPage* results = page.next();
        ASSERT_NE(results, nullptr);
        results->waitForWorker();
        const auto names = rootLevel(*results);
        for (const char* name : {"Docs", "Logs", "Hidden Folder", "README.TXT"}) EXPECT_TRUE(contains(names, name)) << c.fixture << name;
        EXPECT_FALSE(contains(names, "ORPHAN ENTRY")) << c.fixture;  // every entry is reached from the root
        EXPECT_TRUE(contains(opened.sink.messages(), kScanDone)) << c.fixture;
    }
}

}  // namespace
}  // namespace vdrec
