#include <gtest/gtest.h>

#include "app/application.h"
#include "app/pages/scan_mode_page.h"
#include "app/page_test_support.h"
#include "support/test_support.h"

namespace vdrec::app {
namespace {

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
