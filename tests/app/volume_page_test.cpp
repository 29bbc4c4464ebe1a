#include "app/pages/volume_page.h"

#include <gtest/gtest.h>

#include "app/page_test_support.h"
#include "support/test_support.h"
#include "volumes/volume_extent.h"

namespace vdrec::app {
namespace {

using namespace std::chrono_literals;

struct ShownRow {
    std::string volume, fileSystem, volumeSize, startSector;
    bool operator==(const ShownRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ShownRow& r) {
    return out << "{" << r.volume << ", " << r.fileSystem << ", \"" << r.volumeSize << "\", " << r.startSector << "}";
}

std::vector<ShownRow> shown(const VolumePage& page) {
    std::vector<ShownRow> out;
    for (const auto& r : page.rows()) out.push_back({r.volume, r.fileSystem, r.volumeSize, r.startSector});
    return out;
}

struct VolumePageTest : ::testing::Test {
    image::WizardState state;
    test::PageSink sink;
    std::unique_ptr<VolumePage> page;
    bool parentShown = false;
    test::TempDir dir;

    VolumePage& open(const std::string& image, VolumePageOptions options,
                           image::ImageKind kind = image::ImageKind::Raw) {
        state.imagePath = image;
        state.imageKind = kind;
        page = std::make_unique<VolumePage>(state, sink, options, [this] {
            page.reset();
            parentShown = true;
        });
        page->open();
        return *page;
    }

    // mbr-ext.img without its partition table: only the advanced scan finds its volumes.
    std::string zeroedTable() {
        auto image = test::readFile(test::fixture("mbr-ext.img"));
        std::fill_n(image.begin(), 512, 0);
        test::writeFile(dir.file("zeroed.img"), image);
        return dir.file("zeroed.img");
    }

    // A 2 MiB disk whose MBR holds one entry of `type`, starting at `start`, `count` sectors long.
    std::string oneEntryDisk(uint8_t type, uint32_t start, uint32_t count) {
        std::vector<uint8_t> image(2 << 20, 0);
        image[446 + 4] = type;
        test::putLe32(image, 446 + 8, start);
        test::putLe32(image, 446 + 12, count);
        image[510] = 0x55;
        image[511] = 0xAA;
        test::writeFile(dir.file("one.img"), image);
        return dir.file("one.img");
    }

    static VolumePageOptions advanced(bool skip) { return {2, false, !skip, 0, 0}; }
};

// The primary entry after the extended one is not looked at.
const std::vector<ShownRow> kMbrExtRows = {{"0", "NTFS", "4   MB", "2048"},
                                           {"1", "FAT16", "4   MB", "12288"},
                                           {"2", "extX", "3   MB", "22528"},
                                           {"3", "NTFS", "3   MB", "30720"}};

TEST_F(VolumePageTest, StandardScanListsTheTablesVolumesInDiscoveryOrder) {
    auto& p = open(test::fixture("mbr-ext.img"), {});
    EXPECT_EQ(shown(p), kMbrExtRows);
    EXPECT_TRUE(p.customEnabled);
    EXPECT_FALSE(p.customChecked);
    EXPECT_FALSE(p.addCustomVisible);
    EXPECT_TRUE(p.filterEnabled);
    EXPECT_FALSE(p.progressVisible);
    EXPECT_FALSE(p.stopVisible);
    EXPECT_TRUE(p.backEnabled);
    EXPECT_EQ(sink.lastStatus(), "Select volume and click next button...");
    EXPECT_TRUE(sink.sawStatus("Finished Scanning."));
}

TEST_F(VolumePageTest, EveryImageKindGetsItsOwnReader) {
    const std::pair<const char*, image::ImageKind> images[] = {{"pattern.raw", image::ImageKind::Raw},
                                                                {"pattern-dynamic.vhd", image::ImageKind::DynamicVhd},
                                                                {"pattern.vdi", image::ImageKind::Vdi},
                                                                {"pattern.vmdk", image::ImageKind::Vmdk}};
    for (const auto& [name, kind] : images) {
        SCOPED_TRACE(name);
        auto& p = open(test::fixture(name), {}, kind);
        EXPECT_EQ(shown(p), (std::vector<ShownRow>{{"0", "FAT16", "4   MB", "2048"}}));
        ASSERT_NE(state.reader, nullptr);
    }
}

TEST_F(VolumePageTest, AScanThatFindsNothingLeavesAnEmptyListAndNextAsksForAVolume) {
    test::writeFile(dir.file("blank.img"), std::vector<uint8_t>(1 << 20, 0));
    auto& p = open(dir.file("blank.img"), {});
    EXPECT_TRUE(p.rows().empty());
    EXPECT_FALSE(p.customEnabled);
    EXPECT_EQ(p.next(), NextPage::None);
    // A blank first sector is no partition table: the scan says so and points to the advanced scan.
    EXPECT_EQ(sink.messages(),
              (std::vector<std::string>{std::string(volumes::kNoPartitionTable), "please select a valid volume."}));
    EXPECT_EQ(p.selectedVolume(), nullptr);
    EXPECT_TRUE(p.visible);
}

TEST_F(VolumePageTest, SelectingARowFillsTheSectorFieldsFromItsSizeAndStart) {
    struct Case {
        uint32_t start, count;
        const char* selected;
        const char* startText;
        const char* endText;
    };
    const Case cases[] = {
        {2048, 1024 * 2048, "0", "2048", "2099199"},
        {63, 4096, "0", "63", "4158"},
        // Under a megabyte the size counts as 0: the end falls just before the start.
        {2048, 1000, "0", "2048", "2047"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.endText);
        auto& p = open(oneEntryDisk(0x0C, c.start, c.count), {});
        ASSERT_EQ(p.rows().size(), 1u);
        p.selectRow(0);
        EXPECT_EQ(p.selectedVolumeText, c.selected);
        EXPECT_EQ(p.startSectorText, c.startText);
        EXPECT_EQ(p.endSectorText, c.endText);
    }
}

TEST_F(VolumePageTest, ClickingARowPicksItsFileSystemForTreatAs) {
    auto& p = open(test::fixture("mbr-ext.img"), {});
    const std::pair<size_t, const char*> clicks[] = {{0, "NTFS"}, {1, "FAT16"}, {2, "EXTX"}, {3, "NTFS"}};
    for (const auto& [row, item] : clicks) {
        p.clickRow(row);
        ASSERT_TRUE(p.treatAsItem.has_value());
        EXPECT_EQ(kTreatAsItems[*p.treatAsItem], item);
    }
    // A name no item begins with leaves the choice alone.
    auto& gpt = open(test::fixture("gpt.img"), {});
    ASSERT_EQ(shown(gpt), (std::vector<ShownRow>{{"0", "Unknown", "47   MB", "1"}}));
    gpt.selectTreatAs(3);
    gpt.clickRow(0);
    EXPECT_EQ(gpt.treatAsItem, 3u);
}

TEST_F(VolumePageTest, CustomSettingsOverrideTheSelectedRecord) {
    struct Case {
        const char* start;
        const char* end;
        std::optional<size_t> item;
        const char* fileSystem;
        const char* sizeText;
        int64_t startSector;
    };
    const Case cases[] = {
        {"2048", "4095", std::nullopt, "NTFS", "1", 2048},
        {"2048", "2048", 2, "fat32", "0", 2048},
        {"4096", "2048", 0, "extX", "0", 4096},
        {"0", "20479", 4, "HFS+", "10", 0},
        // No end, or one past the disk's 49152 sectors: the volume runs to the last sector.
        {"2048", "", 5, "ntfs", "23", 2048},
        {"2048", "0", 5, "ntfs", "23", 2048},
        {"30720", "99999999", 5, "ntfs", "9", 30720},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sizeText);
        auto& p = open(test::fixture("mbr-ext.img"), {});
        p.selectRow(0);
        p.setCustomSettings(true);
        EXPECT_TRUE(p.customFieldsEnabled);
        ASSERT_TRUE(p.setStartSectorText(c.start));
        ASSERT_TRUE(p.setEndSectorText(c.end));
        p.selectTreatAs(c.item);
        EXPECT_EQ(p.next(), NextPage::RecoveryMode);
        EXPECT_FALSE(p.visible);
        ASSERT_NE(p.selectedVolume(), nullptr);
        EXPECT_EQ(p.selectedVolume()->fileSystem, c.fileSystem);
        EXPECT_EQ(p.selectedVolume()->sizeText, c.sizeText);
        EXPECT_EQ(p.selectedVolume()->startSector, c.startSector);
    }
}

TEST_F(VolumePageTest, VolumeStartingPastTheDiskEndIsRefusedAndThePageStaysUsable) {
    auto image = test::readFile(test::fixture("mbr-ext.img"));
    test::putLe32(image, 446 + 8, 0xFFFFFF00);
    test::putLe32(image, 446 + 12, 0xFFFFFFFF);
    test::writeFile(dir.file("past.img"), image);
    auto& p = open(dir.file("past.img"), {});
    ASSERT_EQ(p.rows().size(), 4u);
    EXPECT_EQ(shown(p).front(), (ShownRow{"0", "NTFS", "past disk end", "4294967040"}));
    p.clickRow(0);
    EXPECT_EQ(p.next(), NextPage::None);
    EXPECT_EQ(sink.messages(), std::vector<std::string>{std::string(volumes::kVolumePastDiskEnd)});
    EXPECT_TRUE(p.visible);
    // A start typed past the end is refused the same way.
    p.clickRow(1);
    p.setCustomSettings(true);
    ASSERT_TRUE(p.setStartSectorText("49152"));
    EXPECT_EQ(p.next(), NextPage::None);
    EXPECT_EQ(sink.messages().size(), 2u);
    p.setCustomSettings(false);
    p.clickRow(1);
    EXPECT_EQ(p.next(), NextPage::RecoveryMode);
    EXPECT_EQ(p.selectedVolume()->startSector, 12288);
}

TEST_F(VolumePageTest, VolumeRunningPastTheDiskEndIsHandedOnEndingAtTheLastSector) {
    auto image = test::readFile(test::fixture("mbr-ext.img"));
    test::putLe32(image, 446 + 12, 0xFFFFFFFF);
    test::writeFile(dir.file("long.img"), image);
    auto& p = open(dir.file("long.img"), {});
    EXPECT_EQ(shown(p).front(), (ShownRow{"0", "NTFS", "2097151   MB", "2048"}));
    p.clickRow(0);
    EXPECT_EQ(p.next(), NextPage::RecoveryMode);
    EXPECT_EQ(p.selectedVolume()->sizeText, "23   MB");
}

TEST_F(VolumePageTest, SpinButtonsStepTheFieldsAndNeverGoBelowZero) {
    auto& p = open(test::fixture("mbr-ext.img"), {});
    p.selectRow(0);
    p.spinStartSector(-1);
    EXPECT_EQ(p.startSectorText, "2049");
    p.spinEndSector(+1);
    EXPECT_EQ(p.endSectorText, "10238");
    ASSERT_TRUE(p.setStartSectorText("0"));
    p.spinStartSector(+1);
    EXPECT_EQ(p.startSectorText, "0");
    EXPECT_FALSE(p.setStartSectorText("12x"));
    EXPECT_EQ(p.startSectorText, "0");
}

TEST_F(VolumePageTest, AnUnknownVolumeIsNotHandedOnUntilRetyped) {
    auto& p = open(test::fixture("gpt.img"), {});
    p.clickRow(0);
    EXPECT_EQ(p.next(), NextPage::None);
    EXPECT_EQ(sink.messages(), (std::vector<std::string>{"can not parse unknown volume"}));
    EXPECT_TRUE(p.visible);
    p.setCustomSettings(true);
    p.selectTreatAs(1);  // FAT16
    EXPECT_EQ(p.next(), NextPage::RecoveryMode);
    EXPECT_EQ(p.selectedVolume()->fileSystem, "fat16");
}

TEST_F(VolumePageTest, RawHandOverAndTheRecordRestoredFromItsRowAfterwards) {
    auto& p = open(test::fixture("mbr-ext.img"), {});
    p.clickRow(3);
    p.setCustomSettings(true);
    p.selectTreatAs(6);  // RAW
    EXPECT_EQ(p.next(), NextPage::RawRecovery);
    EXPECT_TRUE(p.handedToRaw());
    EXPECT_FALSE(p.visible);
    EXPECT_EQ(p.selectedVolume()->fileSystem, "RAW");
    EXPECT_EQ(p.selectedVolume()->sizeText, "3");

    p.show();  // the raw recovery page went back
    p.setCustomSettings(false);
    EXPECT_EQ(p.next(), NextPage::RecoveryMode);
    const volumes::VolumeEntry& restored = *p.selectedVolume();
    EXPECT_EQ(restored.fileSystem, "NTFS");
    EXPECT_EQ(restored.label, "3");
    EXPECT_EQ(restored.sizeText, "3");
    EXPECT_EQ(restored.startSector, 30720);
}

TEST_F(VolumePageTest, AdvancedScanShowsEachFindAtOnceNewestOnTop) {
    auto& p = open(zeroedTable(), advanced(true));
    EXPECT_TRUE(p.busy());
    EXPECT_FALSE(p.backEnabled);
    EXPECT_FALSE(p.nextEnabled);
    EXPECT_FALSE(p.filterEnabled);
    // The first find reaches the list while the scan still runs.
    ASSERT_TRUE(p.worker().pumpUntil([&] { return !p.rows().empty(); }, 5s));
    EXPECT_TRUE(p.busy());
    EXPECT_EQ(shown(p).front(), (ShownRow{"0", "NTFS", "3   MB", "2048"}));
    p.waitForWorker();
    EXPECT_EQ(shown(p), (std::vector<ShownRow>{{"3", "NTFS", "1   MB", "36864"},
                                               {"2", "NTFS", "2   MB", "30720"},
                                               {"1", "FAT16", "4  MB", "12288"},
                                               {"0", "NTFS", "3   MB", "2048"}}));
    EXPECT_EQ(sink.messages(), (std::vector<std::string>{"populated partitions...."}));
    EXPECT_EQ(sink.lastStatus(), "Select volume and click next button...");
    EXPECT_EQ(sink.callsOffPageThread(), 0);
    EXPECT_FALSE(p.busy());
    EXPECT_TRUE(p.backEnabled);
    EXPECT_TRUE(p.nextEnabled);
    EXPECT_TRUE(p.addCustomEnabled);
    EXPECT_TRUE(p.customEnabled);
    EXPECT_FALSE(p.progressVisible);
}

TEST_F(VolumePageTest, FilterEntriesDropsBackupBootSectorsOfAnAdvancedScanWithoutSkipping) {
    auto& p = open(zeroedTable(), advanced(false));
    p.waitForWorker();
    ASSERT_EQ(p.rows().size(), 7u);
    p.filterEntries();
    EXPECT_EQ(shown(p), (std::vector<ShownRow>{{"5", "NTFS", "1   MB", "36864"},
                                               {"3", "NTFS", "2   MB", "30720"},
                                               {"2", "FAT16", "4  MB", "12288"},
                                               {"0", "NTFS", "3   MB", "2048"}}));
    // The records stay; a filtered row still hands over its own record.
    EXPECT_EQ(p.records().size(), 7u);
    p.clickRow(0);
    EXPECT_EQ(p.next(), NextPage::RecoveryMode);
    EXPECT_EQ(p.selectedVolume()->startSector, 36864);
}

TEST_F(VolumePageTest, AddCustomVolumePutsAnEmptyRecordOnTopReadyToEdit) {
    auto& p = open(zeroedTable(), advanced(true));
    p.waitForWorker();
    p.addCustomVolume();
    EXPECT_EQ(shown(p).front(), (ShownRow{"4", "CUSTOM ", "0", "0"}));
    EXPECT_EQ(p.selectedRow(), 0u);
    EXPECT_TRUE(p.customChecked);
    EXPECT_TRUE(p.customFieldsEnabled);
    EXPECT_EQ(p.startSectorText, "0");
    EXPECT_EQ(p.endSectorText, "0");
    p.setStartSectorText("12288");
    p.setEndSectorText("20479");
    p.selectTreatAs(1);
    EXPECT_EQ(p.next(), NextPage::RecoveryMode);
    EXPECT_EQ(p.selectedVolume()->fileSystem, "fat16");
    EXPECT_EQ(p.selectedVolume()->sizeText, "4");
}

TEST_F(VolumePageTest, StopRightAfterTheAdvancedScanStartedEndsItAndOffersBack) {
    auto& p = open(zeroedTable(), advanced(true));
    // Before the scan has read anything: the request must survive the scan clearing its flag.
    p.stop();
    EXPECT_TRUE(p.backEnabled);
    p.waitForWorker();
    EXPECT_TRUE(p.rows().empty());
    EXPECT_TRUE(sink.sawStatus("Scanned Partitions"));
    EXPECT_FALSE(p.busy());
    EXPECT_TRUE(p.back());
    EXPECT_TRUE(parentShown);
    EXPECT_EQ(page, nullptr);
}

TEST_F(VolumePageTest, BackIsRefusedWhileTheScanRunsEvenWhenPaused) {
    auto& p = open(zeroedTable(), advanced(true));
    p.pause();
    ASSERT_TRUE(p.worker().pumpUntil([&] { return p.worker().parked(); }, 5s));
    EXPECT_FALSE(p.back());
    EXPECT_EQ(p.next(), NextPage::None);
    EXPECT_EQ(sink.messages(),
              (std::vector<std::string>{"Please wait for the running process.", "Please wait for the running process."}));
    ASSERT_NE(page, nullptr);
    p.resume();
    p.waitForWorker();
    EXPECT_EQ(p.rows().size(), 4u);
}

TEST_F(VolumePageTest, StopThenBackOnAPausedScanReleasesAndJoinsItBeforeThePageGoes) {
    auto& p = open(zeroedTable(), advanced(false));
    ASSERT_TRUE(p.worker().pumpUntil([&] { return p.rows().size() >= 2; }, 5s));
    p.pause();
    ASSERT_TRUE(p.worker().pumpUntil([&] { return p.worker().parked(); }, 5s));
    p.stop();
    // Back is offered at once and must not leave the job running on a freed page (ASan).
    EXPECT_TRUE(p.back());
    EXPECT_EQ(page, nullptr);
    EXPECT_TRUE(parentShown);
    EXPECT_EQ(sink.callsOffPageThread(), 0);
}

TEST_F(VolumePageTest, CloseDuringAPausedScanAsksThenStopsAndJoins) {
    auto& p = open(zeroedTable(), advanced(true));
    p.pause();
    ASSERT_TRUE(p.worker().pumpUntil([&] { return p.worker().parked(); }, 5s));
    sink.answerQuestions(false);
    EXPECT_FALSE(p.close());
    EXPECT_TRUE(p.worker().running());
    sink.answerQuestions(true);
    EXPECT_TRUE(p.close());
    EXPECT_FALSE(p.worker().running());
    EXPECT_FALSE(p.busy());
    p.enter();
    EXPECT_EQ(sink.questions().size(), 2u);
}

TEST_F(VolumePageTest, WhenTheImageCannotBeOpenedNoWorkerStartsAndBackStaysUsable) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        sink.clear();
        auto& p = open(dir.file("missing.img"), {mode, false, false, 0, 0});
        EXPECT_FALSE(p.worker().running());
        EXPECT_FALSE(p.busy());
        EXPECT_TRUE(p.backEnabled);
        EXPECT_TRUE(p.nextEnabled);
        EXPECT_TRUE(p.rows().empty());
        EXPECT_EQ(sink.messages().back(), "file not opened..");
        EXPECT_TRUE(p.back());
        EXPECT_EQ(page, nullptr);
    }
}

}  // namespace
}  // namespace vdrec::app
