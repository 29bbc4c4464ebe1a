#include "app/pages/scan_mode_page.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/page_test_support.h"
#include "support/test_support.h"

namespace vdrec::app {
namespace {

using namespace std::chrono_literals;

struct ScanModePageTest : ::testing::Test {
    image::WizardState state;
    test::PageSink sink;
    std::unique_ptr<ScanModePage> page;
    bool parentShown = false;
    test::TempDir dir;

    void open(const std::string& image, image::ImageKind kind) {
        state.imagePath = image;
        state.imageKind = kind;
        ScanModePage::ImageChoice choice{image, 0, std::nullopt};
        page = std::make_unique<ScanModePage>(state, sink, choice, [this] {
            page.reset();
            parentShown = true;
        });
    }

    // A raw disk of 12 MiB: three export chunks.
    std::string twelveMegabytes() {
        test::writeFile(dir.file("disk.img"), std::vector<uint8_t>(12 << 20, 0x5A));
        return dir.file("disk.img");
    }

    void startExport(const std::string& folder) {
        page->setSaveDiskImage(true);
        sink.answerFolder(folder);
        page->saveDiskImage();
    }
};

TEST_F(ScanModePageTest, OpensOnTheStandardScanWithTheRangeLockedAndTheExportOff) {
    open(test::fixture("mbr-ext.img"), image::ImageKind::Raw);
    EXPECT_EQ(page->currentDrive, test::fixture("mbr-ext.img"));
    EXPECT_TRUE(page->standardSelected);
    EXPECT_FALSE(page->advanceSelected);
    EXPECT_FALSE(page->doNotSkipEnabled);
    EXPECT_FALSE(page->customEnabled);
    EXPECT_FALSE(page->sectorFieldsEnabled);
    EXPECT_EQ(page->startingSectorText, "0");
    EXPECT_EQ(page->endingSectorText, "0");
    EXPECT_FALSE(page->saveImageChecked);
    EXPECT_FALSE(page->saveImageButtonEnabled);
    EXPECT_FALSE(page->progressVisible);
    EXPECT_FALSE(page->stopVisible);
    EXPECT_EQ(sink.lastStatus(), "Choose any one of the mode and Click Next....");
}

TEST_F(ScanModePageTest, TheScanChoicesUnlockEachOther) {
    open(test::fixture("mbr-ext.img"), image::ImageKind::Raw);
    page->setCustomSetting(true);  // locked under the standard scan
    EXPECT_FALSE(page->customChecked);
    page->selectAdvance();
    EXPECT_TRUE(page->doNotSkipEnabled);
    EXPECT_TRUE(page->customEnabled);
    page->setCustomSetting(true);
    EXPECT_TRUE(page->sectorFieldsEnabled);
    page->selectStandard();
    EXPECT_FALSE(page->doNotSkipEnabled);
    EXPECT_FALSE(page->customEnabled);
    EXPECT_FALSE(page->sectorFieldsEnabled);
    page->setSaveDiskImage(true);
    EXPECT_TRUE(page->saveImageButtonEnabled);
    page->setSaveDiskImage(false);
    EXPECT_FALSE(page->saveImageButtonEnabled);
}

TEST_F(ScanModePageTest, NextHandsTheChoicesToTheVolumePage) {
    struct Case {
        bool advance, gpt, doNotSkip, custom;
        const char* first;
        const char* last;
        app::VolumePageOptions expected;
    };
    const Case cases[] = {
        {false, true, false, false, "0", "0", {1, true, false, 0, 0}},
        {true, false, true, false, "0", "0", {2, false, true, 0, 0}},
        {true, false, false, true, "4096", "20000", {2, false, false, 4096, 20000}},
        // A negative ending sector drops the range.
        {true, false, false, true, "4096", "-5", {2, false, false, 0, 0}},
    };
    open(test::fixture("mbr-ext.img"), image::ImageKind::Raw);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        c.advance ? page->selectAdvance() : page->selectStandard();
        page->setGptFormat(c.gpt);
        page->setDoNotSkip(c.doNotSkip);
        page->setCustomSetting(c.custom);
        ASSERT_TRUE(page->setStartingSector(c.first));
        ASSERT_TRUE(page->setEndingSector(c.last));
        app::VolumePage* volumes = page->next();
        ASSERT_NE(volumes, nullptr);
        EXPECT_FALSE(page->visible);
        volumes->waitForWorker();
        const auto& got = volumes->options();
        EXPECT_EQ(got.scanMode, c.expected.scanMode);
        EXPECT_EQ(got.gptDisk, c.expected.gptDisk);
        EXPECT_EQ(got.doNotSkip, c.expected.doNotSkip);
        EXPECT_EQ(got.rangeFirst, c.expected.rangeFirst);
        EXPECT_EQ(got.rangeLast, c.expected.rangeLast);
        ASSERT_TRUE(volumes->back());
        EXPECT_EQ(page->volumePage(), nullptr);
        EXPECT_TRUE(page->visible);
    }
    // Back from the volume page leaves the choices as they were.
    EXPECT_TRUE(page->advanceSelected);
    EXPECT_TRUE(page->customChecked);
    EXPECT_EQ(page->endingSectorText, "-5");
}

TEST_F(ScanModePageTest, ExportWritesTheRawDiskOnTheWorkerAndReportsOnThePageThread) {
    open(test::fixture("pattern-dynamic.vhd"), image::ImageKind::DynamicVhd);
    startExport(dir.path());
    EXPECT_EQ(sink.messages(),
              (std::vector<std::string>{"Make sure you have sufficient disk space at saving location of Image File"}));
    EXPECT_EQ(sink.folderTitles(), (std::vector<std::string>{"Please choose a folder."}));
    EXPECT_EQ(page->outputPath, dir.file("pattern-dynamic.vhd.img"));
    EXPECT_TRUE(page->busy());
    // The controls go off as soon as the worker took the job.
    ASSERT_TRUE(page->worker().pumpUntil([&] { return page->progressVisible; }, 5s));
    EXPECT_FALSE(page->nextEnabled);
    EXPECT_FALSE(page->backEnabled);
    EXPECT_FALSE(page->saveImageCheckEnabled);
    EXPECT_FALSE(page->saveImageButtonEnabled);
    EXPECT_TRUE(page->stopVisible);
    page->waitForWorker();
    EXPECT_EQ(page->lastExportOutcome(), volumes::DiskExport::Outcome::Saved);
    EXPECT_EQ(test::readFile(page->outputPath), test::readFile(test::fixture("pattern.raw")));
    EXPECT_EQ(sink.lastStatus(), "Image Saved,Choose any one of the mode and click next.");
    EXPECT_EQ(sink.callsOffPageThread(), 0);
    EXPECT_FALSE(page->busy());
    EXPECT_TRUE(page->nextEnabled);
    EXPECT_TRUE(page->backEnabled);
    EXPECT_TRUE(page->saveImageCheckEnabled);
    EXPECT_TRUE(page->saveImageButtonEnabled);
    EXPECT_FALSE(page->progressVisible);
    EXPECT_FALSE(page->stopVisible);
    EXPECT_EQ(state.reader, nullptr);
}

TEST_F(ScanModePageTest, NoFolderPickedStartsNothing) {
    open(test::fixture("pattern.raw"), image::ImageKind::Raw);
    startExport("");
    page->setSaveDiskImage(true);
    page->saveDiskImage();  // the picker cancelled: no scripted answer left
    EXPECT_FALSE(page->busy());
    EXPECT_FALSE(page->worker().running());
    EXPECT_TRUE(page->outputPath.empty());
}

TEST_F(ScanModePageTest, StopAsksAndOnlyYesEndsTheExportAfterTheChunkInProgress) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        test::TempDir out;
        open(twelveMegabytes(), image::ImageKind::Raw);
        startExport(out.path());
        // Parked at its first report, before any chunk is copied.
        page->pause();
        ASSERT_TRUE(page->worker().pumpUntil([&] { return page->worker().parked(); }, 5s));
        sink.clear();
        sink.answerQuestions(yes);
        page->stop();
        EXPECT_EQ(sink.questions(), (std::vector<std::string>{"Are you sure to stop the running process?"}));
        page->resume();
        page->waitForWorker();
        if (yes) {
            EXPECT_EQ(page->lastExportOutcome(), volumes::DiskExport::Outcome::Stopped);
            EXPECT_EQ(std::filesystem::file_size(page->outputPath), volumes::kExportChunkBytes);
        } else {
            EXPECT_EQ(page->lastExportOutcome(), volumes::DiskExport::Outcome::Saved);
            EXPECT_EQ(std::filesystem::file_size(page->outputPath), 12u << 20);
        }
        EXPECT_EQ(sink.lastStatus(), "Image Saved,Choose any one of the mode and click next.");
        EXPECT_TRUE(page->backEnabled);
        std::filesystem::remove(dir.file("disk.img"));
    }
}

TEST_F(ScanModePageTest, BackAndNextAreRefusedWhileTheExportRuns) {
    open(twelveMegabytes(), image::ImageKind::Raw);
    startExport(dir.path());
    page->pause();
    ASSERT_TRUE(page->worker().pumpUntil([&] { return page->worker().parked(); }, 5s));
    sink.clear();
    EXPECT_FALSE(page->back());
    EXPECT_EQ(page->next(), nullptr);
    EXPECT_EQ(sink.messages(),
              (std::vector<std::string>{"Please wait for the running process.", "Please wait for the running process."}));
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(parentShown);
    EXPECT_EQ(page->volumePage(), nullptr);
    page->resume();
    page->waitForWorker();
    EXPECT_TRUE(page->back());
    EXPECT_TRUE(parentShown);
    EXPECT_EQ(page, nullptr);
}

TEST_F(ScanModePageTest, ClosingDuringAPausedExportStopsAndJoinsItFirst) {
    open(twelveMegabytes(), image::ImageKind::Raw);
    startExport(dir.path());
    page->pause();
    ASSERT_TRUE(page->worker().pumpUntil([&] { return page->worker().parked(); }, 5s));
    sink.answerQuestions(false);
    EXPECT_FALSE(page->close());
    EXPECT_TRUE(page->worker().running());
    sink.answerQuestions(true);
    EXPECT_TRUE(page->close());
    EXPECT_FALSE(page->worker().running());
    EXPECT_EQ(page->lastExportOutcome(), volumes::DiskExport::Outcome::Stopped);
    EXPECT_EQ(sink.questions(),
              (std::vector<std::string>{"Do you want to Close Application ?", "Do you want to Close Application ?"}));
    page.reset();
}

TEST_F(ScanModePageTest, DestroyingThePageDuringAPausedExportIsSafe) {
    open(twelveMegabytes(), image::ImageKind::Raw);
    startExport(dir.path());
    page->pause();
    ASSERT_TRUE(page->worker().pumpUntil([&] { return page->worker().parked(); }, 5s));
    const std::string output = page->outputPath;
    page.reset();  // ASan reports a job left running against a freed page
    EXPECT_LE(std::filesystem::file_size(output), volumes::kExportChunkBytes);
}

TEST_F(ScanModePageTest, EnterAndEscapeAreIgnored) {
    open(test::fixture("mbr-ext.img"), image::ImageKind::Raw);
    page->enter();
    page->escape();
    EXPECT_TRUE(sink.questions().empty());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->visible);
}

}  // namespace
}  // namespace vdrec::app
