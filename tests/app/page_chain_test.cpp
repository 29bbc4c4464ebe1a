#include <gtest/gtest.h>

#include <algorithm>

#include "app/application.h"
#include "app/page_test_support.h"
#include "app/pages/anchor_search_page.h"
#include "app/pages/raw_recovery_page.h"
#include "app/pages/recovery_mode_page.h"
#include "app/pages/results_page.h"
#include "app/pages/scan_mode_page.h"
#include "support/test_support.h"

namespace vdrec::app {
namespace {

// The wizard as the front end starts it, with the fixture chosen as a fixed disk and the
// advanced volume scan run to its end: every later page is reached through next() alone.
struct Chain {
    test::TempDir dir;
    test::PageSink sink;
    std::unique_ptr<Application> application;
    ScanModePage* modes = nullptr;
    VolumePage* volumes = nullptr;

    explicit Chain(const std::string& fixture) {
        application = Application::start(sink, dir.file("app.lock"));
        if (!application) return;
        ImagePage& first = application->firstPage();
        first.selectFixed();
        first.chooseFile(test::fixture(fixture));
        modes = first.next();
        if (!modes) return;
        modes->selectAdvance();
        volumes = modes->next();
        if (volumes) volumes->waitForWorker();
    }
};

std::vector<std::string> rootLevel(ResultsPage& page) {
    std::vector<std::string> texts;
    if (results::ResultsModel* model = page.model())
        for (results::ItemId id : model->tree.item(model->topItem).children) texts.push_back(model->tree.item(id).text);
    return texts;
}

bool contains(const std::vector<std::string>& texts, std::string_view text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(PageChain, WalksFromTheImageToTheResultsAndBackThroughTheControllersAlone) {
    Chain chain("ntfs-main.img");
    ASSERT_NE(chain.volumes, nullptr);
    ASSERT_EQ(chain.volumes->rows().size(), 1u);
    chain.volumes->clickRow(0);
    ASSERT_EQ(chain.volumes->next(), NextPage::RecoveryMode);
    RecoveryModePage* recovery = chain.volumes->recoveryModePage();
    ASSERT_NE(recovery, nullptr);
    EXPECT_EQ(chain.volumes->rawRecoveryPage(), nullptr);
    EXPECT_FALSE(chain.volumes->visible);
    EXPECT_TRUE(recovery->standardSelected);

    ASSERT_EQ(recovery->next(), RecoveryModePage::NextPage::Results);
    EXPECT_FALSE(recovery->visible);
    EXPECT_EQ(recovery->anchorPage(), nullptr);
    ResultsPage* results = recovery->resultsPage();
    ASSERT_NE(results, nullptr);
    results->waitForWorker();
    EXPECT_TRUE(contains(rootLevel(*results), "Docs"));
    EXPECT_EQ(results->volumeData, "0");

    // Each Back destroys the page it was pressed on and shows the one before.
    ASSERT_TRUE(results->back());
    EXPECT_EQ(recovery->resultsPage(), nullptr);
    EXPECT_TRUE(recovery->visible);
    ASSERT_TRUE(recovery->back());
    EXPECT_EQ(chain.volumes->recoveryModePage(), nullptr);
    EXPECT_TRUE(chain.volumes->visible);
    ASSERT_TRUE(chain.volumes->back());
    EXPECT_EQ(chain.modes->volumePage(), nullptr);
    EXPECT_TRUE(chain.modes->visible);
    EXPECT_EQ(chain.sink.callsOffPageThread(), 0);
}

TEST(PageChain, AVolumeTreatedAsRawLeadsToTheRawRecoveryPageTheVolumePageOwns) {
    Chain chain("carve-small.img");
    ASSERT_NE(chain.volumes, nullptr);
    chain.volumes->addCustomVolume();
    chain.volumes->selectTreatAs(6);  // RAW
    ASSERT_EQ(chain.volumes->next(), NextPage::RawRecovery);
    RawRecoveryPage* raw = chain.volumes->rawRecoveryPage();
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(chain.volumes->recoveryModePage(), nullptr);
    EXPECT_EQ(chain.sink.lastStatus(), kRawRecoveryIntro);

    ASSERT_TRUE(raw->back());
    EXPECT_EQ(chain.volumes->rawRecoveryPage(), nullptr);
    EXPECT_TRUE(chain.volumes->visible);
    // Retyped, the same volume leads to the recovery-mode page instead, and only to it.
    chain.volumes->selectTreatAs(5);  // NTFS
    ASSERT_EQ(chain.volumes->next(), NextPage::RecoveryMode);
    EXPECT_NE(chain.volumes->recoveryModePage(), nullptr);
    EXPECT_EQ(chain.volumes->rawRecoveryPage(), nullptr);
}

TEST(PageChain, AdvancedModeGoesThroughTheAnchorSearchAndItsResultsPageAgainAfterBack) {
    // No boot sector: the volume is added by hand over the whole disk and searched for its MFT.
    Chain chain("ntfs-noboot.img");
    ASSERT_NE(chain.volumes, nullptr);
    chain.volumes->addCustomVolume();
    chain.volumes->selectTreatAs(5);  // NTFS
    ASSERT_EQ(chain.volumes->next(), NextPage::RecoveryMode);
    RecoveryModePage* recovery = chain.volumes->recoveryModePage();
    ASSERT_NE(recovery, nullptr);
    recovery->selectAdvanced();
    ASSERT_EQ(recovery->next(), RecoveryModePage::NextPage::AnchorSearch);
    EXPECT_EQ(recovery->resultsPage(), nullptr);
    AnchorSearchPage* anchors = recovery->anchorPage();
    ASSERT_NE(anchors, nullptr);

    // The second round is the one after the results page's Back: the page searches again, so
    // its Next hands on a parser that knows the anchor it lists.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        anchors->waitForWorker();
        EXPECT_EQ(anchors->anchorItems, std::vector<std::string>{"MFT_ENTRY:0"});
        EXPECT_TRUE(anchors->nextEnabled && anchors->backEnabled);
        ResultsPage* results = anchors->next();
        ASSERT_NE(results, nullptr);
        EXPECT_FALSE(anchors->visible);
        EXPECT_EQ(anchors->resultsPage(), results);
        results->waitForWorker();
        const std::vector<std::string> found = rootLevel(*results);
        EXPECT_TRUE(contains(found, "Docs")) << testing::PrintToString(found);
        ASSERT_TRUE(results->back());
        EXPECT_EQ(anchors->resultsPage(), nullptr);
        EXPECT_TRUE(anchors->visible);
    }
    anchors->waitForWorker();
    ASSERT_TRUE(anchors->back());
    EXPECT_EQ(recovery->anchorPage(), nullptr);
    EXPECT_TRUE(recovery->visible);
}

TEST(PageChain, NextHidesEachPageAndBackDestroysTheCurrentOneAndShowsItsParent) {
    test::TempDir dir;
    test::PageSink sink;
    auto application = Application::start(sink, dir.file("app.lock"));
    ASSERT_NE(application, nullptr);
    ImagePage& first = application->firstPage();
    first.chooseFile(test::fixture("pattern-dynamic.vhd"));
    ScanModePage* modes = first.next();
    ASSERT_NE(modes, nullptr);
    EXPECT_FALSE(first.visible);
    EXPECT_TRUE(modes->visible);

    app::VolumePage* volumes = modes->next();
    ASSERT_NE(volumes, nullptr);
    EXPECT_FALSE(modes->visible);
    ASSERT_EQ(volumes->rows().size(), 1u);
    volumes->clickRow(0);
    EXPECT_EQ(volumes->next(), app::NextPage::RecoveryMode);
    EXPECT_EQ(volumes->selectedVolume()->fileSystem, "FAT16");
    // The later pages borrow this reader.
    ASSERT_NE(application->state().reader, nullptr);

    volumes->show();
    ASSERT_TRUE(volumes->back());
    EXPECT_EQ(modes->volumePage(), nullptr);
    EXPECT_TRUE(modes->visible);
    ASSERT_TRUE(modes->back());
    EXPECT_EQ(first.modePage(), nullptr);
    EXPECT_TRUE(first.visible);
    EXPECT_EQ(first.path, test::fixture("pattern-dynamic.vhd"));
}

TEST(PageChain, EndingTheApplicationDuringAPausedScanTearsTheChainDownSafely) {
    test::TempDir dir;
    auto image = test::readFile(test::fixture("mbr-ext.img"));
    std::fill_n(image.begin(), 512, 0);
    test::writeFile(dir.file("zeroed.vhd"), image);
    test::PageSink sink;
    auto application = Application::start(sink, dir.file("app.lock"));
    ASSERT_NE(application, nullptr);
    application->firstPage().selectFixed();
    application->firstPage().chooseFile(dir.file("zeroed.vhd"));
    ScanModePage* modes = application->firstPage().next();
    ASSERT_NE(modes, nullptr);
    modes->selectAdvance();
    app::VolumePage* volumes = modes->next();
    ASSERT_NE(volumes, nullptr);
    volumes->pause();
    ASSERT_TRUE(volumes->worker().pumpUntil([&] { return volumes->worker().parked(); }, std::chrono::seconds(5)));
    ASSERT_TRUE(volumes->close());
    EXPECT_FALSE(volumes->worker().running());
    // The front end then ends the process; the pages go in chain order (ASan checks).
    application.reset();
}

}  // namespace
}  // namespace vdrec::app
