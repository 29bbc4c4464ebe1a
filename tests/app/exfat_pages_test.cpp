// The anchor-search and results pages driven headlessly on exFAT volumes made by mkfs.exfat and
// exfat-fuse.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/pages/anchor_search_page.h"
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
    explicit Opened(const std::string& fixture) {
        state.imagePath = test::fixture(fixture);
        state.imageKind = image::ImageKind::Raw;
        EXPECT_TRUE(volumes::provideReader(state, sink));
        volume = {"FAT64", "0", "8", 0};
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

TEST(ExfatResultsPage, ListsAndSavesAStandardVolume) {
    Opened opened("exfat.img");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    EXPECT_EQ(opened.sink.messages(), (std::vector<std::string>{"done...", std::string(kScanDone)}));
    EXPECT_TRUE(contains(opened.sink.statuses(), "Finding Fat64 File And Directory entries recursively...."));
    EXPECT_TRUE(contains(opened.sink.statuses(), "creating tree Structure..."));
    const auto names = rootLevel(page);
    for (const char* name : {"a", "Docs", "Many", "Frag", "root-210.txt", "Deleted Long Name File.txt"})
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
    EXPECT_EQ(std::filesystem::file_size(out.file("Reports/2024/q1.txt")), 5700u);
    EXPECT_EQ(std::filesystem::file_size(out.file("secret.txt")), 540u);
}

TEST(ExfatResultsPage, AVolumeWithoutBootSectorIsRefusedWithItsMessage) {
    Opened opened("exfat-noboot.img");
    app::ResultsPage page(opened.state, opened.sink, opened.volume, results::ScanMode::Standard);
    page.waitForWorker();
    EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{"Selected Drive is not in exFat Format"});
    EXPECT_TRUE(page.backEnabled);
    EXPECT_TRUE(rootLevel(page).empty());
}

TEST(ExfatAnchorSearchPage, OffersFatAndHeapAnchorsAndRebuildsTheTreeFromThem) {
    const struct {
        const char* fixture;
        std::vector<std::string> heaps;
        const char* clusterShift;
        const char* summary;
    } cases[] = {
        {"exfat-noboot.img", {"HEAP_OFFSET_ENTRY:0"}, "3",
         "Number of FAT64-ENTRY found = 1 and Number of HeapOffset-ENTRY found =  1  . Please select the choice from "
         "( Entry and Heap ) Combobox and click Parse button to proceed."},
        // The backup boot region's heap comes first; the all-FF search only finds its OEM sector.
        {"exfat-32k-noboot.img", {"HEAP_OFFSET_ENTRY:0", "HEAP_OFFSET_ENTRY:1"}, "6",
         "Number of FAT64-ENTRY found = 1 and Number of HeapOffset-ENTRY found =  2  . Please select the choice from "
         "( Entry and Heap ) Combobox and click Parse button to proceed."},
    };
    for (const auto& c : cases) {
        Opened opened(c.fixture);
        app::AnchorSearchPage page(opened.state, opened.sink, opened.volume, 3);
        page.waitForWorker();
        EXPECT_EQ(page.anchorLabel, "Total fat64 Entries Found:");
        EXPECT_TRUE(page.heapVisible);
        EXPECT_EQ(page.anchorItems, std::vector<std::string>{"FAT64_ENTRY:0"}) << c.fixture;
        EXPECT_EQ(page.heapItems, c.heaps) << c.fixture;
        EXPECT_TRUE(contains(opened.sink.messages(), c.summary)) << c.fixture;
        const auto shift = std::find(page.clusterItems.begin(), page.clusterItems.end(), c.clusterShift);
        ASSERT_NE(shift, page.clusterItems.end()) << c.fixture;
        page.selectClusterSize(static_cast<int>(shift - page.clusterItems.begin()));
        page.selectHeap(0);
        app::ResultsPage* results = page.next();
        ASSERT_NE(results, nullptr);
        results->waitForWorker();
        const auto names = rootLevel(*results);
        EXPECT_FALSE(names.empty()) << c.fixture;
        EXPECT_FALSE(contains(names, "ORPHAN ENTRY")) << c.fixture;
        EXPECT_TRUE(contains(opened.sink.statuses(), "Maintaining TreeStructure for Tree Control")) << c.fixture;
        EXPECT_TRUE(contains(opened.sink.messages(), kScanDone)) << c.fixture;
    }
}

}  // namespace
}  // namespace vdrec
