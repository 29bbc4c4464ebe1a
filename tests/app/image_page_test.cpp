#include "app/pages/image_page.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/pages/scan_mode_page.h"
#include "app/page_test_support.h"
#include "support/test_support.h"

namespace vdrec::app {
namespace {

struct ImagePageTest : ::testing::Test {
    image::WizardState state;
    test::PageSink sink;
    ImagePage page{state, sink};
    test::TempDir dir;

    // A fixture copied under another name, for the checks that look at names.
    std::string copyAs(const std::string& fixtureName, const std::string& name) {
        std::filesystem::copy_file(test::fixture(fixtureName), dir.file(name));
        return dir.file(name);
    }
};

TEST_F(ImagePageTest, OpensWithNextDisabledAndNoFactsUntilAFileIsChosen) {
    EXPECT_TRUE(page.dynamicSelected);
    EXPECT_FALSE(page.nextEnabled);
    EXPECT_FALSE(page.pathEnabled);
    EXPECT_FALSE(page.factsVisible);
    EXPECT_TRUE(page.path.empty());
    page.chooseFile("");  // the dialog cancelled
    EXPECT_FALSE(page.nextEnabled);
    page.chooseFile(test::fixture("pattern-dynamic.vhd"));
    EXPECT_TRUE(page.nextEnabled);
    EXPECT_EQ(page.path, test::fixture("pattern-dynamic.vhd"));
    EXPECT_EQ(state.imagePath, page.path);
}

TEST_F(ImagePageTest, DynamicOffersEveryContainerAndFixedOffersRawImagesOfAnyUsualName) {
    const auto patterns = [&] {
        std::vector<std::string_view> shown;
        for (const auto& filter : page.fileFilters()) shown.push_back(filter.pattern);
        return shown;
    };
    EXPECT_EQ(patterns(), (std::vector<std::string_view>{"*.vhd", "*.vdi", "*.vmdk", "*"}));
    page.selectFixed();
    EXPECT_EQ(patterns(), (std::vector<std::string_view>{"*.img *.raw *.dd *.bin *.vhd", "*"}));
    EXPECT_EQ(page.fileFilters().front().label, "Raw Disk Images (*.img *.raw *.dd *.bin *.vhd)");
}

TEST_F(ImagePageTest, TheContentDecidesTheKindWhateverTheNameOrRadio) {
    struct NameCase {
        std::string path;
        bool pickFixed;
        image::ImageKind kind;
        bool dynamicSelected;
    };
    const NameCase cases[] = {
        {copyAs("pattern.raw", "disk.img"), true, image::ImageKind::Raw, false},
        {copyAs("pattern.raw", "disk.dd"), false, image::ImageKind::Raw, false},
        {copyAs("pattern.raw", "disk"), true, image::ImageKind::Raw, false},
        {copyAs("pattern-dynamic.vhd", "disk.bin"), true, image::ImageKind::DynamicVhd, true},
        {copyAs("pattern.vdi", "disk.raw"), true, image::ImageKind::Vdi, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        c.pickFixed ? page.selectFixed() : page.selectDynamic();
        sink.clear();
        page.chooseFile(c.path);
        EXPECT_TRUE(sink.messages().empty()) << sink.messages().front();
        EXPECT_EQ(state.imageKind, c.kind);
        EXPECT_EQ(page.dynamicSelected, c.dynamicSelected);
        EXPECT_TRUE(page.nextEnabled);
        EXPECT_EQ(page.diskSizeText, "64");
    }
}

struct FactsCase {
    const char* fixture;
    bool pickFixed;
    image::ImageKind kind;
    bool dynamicSelected;
    const char* version;
    const char* sectors;
    const char* heads;
    const char* cylinders;
    const char* size;
    bool tableEntriesShown;
    const char* tableEntries;
};

TEST_F(ImagePageTest, KindAndFactsComeFromTheFileItself) {
    const FactsCase cases[] = {
        {"pattern-dynamic.vhd", false, image::ImageKind::DynamicVhd, true, "65536", "255", "16", "65535", "64", true, "32"},
        // The radio cannot make a dynamic VHD raw, nor a fixed one (footer at the end) dynamic.
        {"pattern-dynamic.vhd", true, image::ImageKind::DynamicVhd, true, "65536", "255", "16", "65535", "64", true, "32"},
        {"pattern-fixed.vhd", true, image::ImageKind::Raw, false, "", "N/A", "N/A", "N/A", "64", false, ""},
        {"pattern-fixed.vhd", false, image::ImageKind::Raw, false, "", "N/A", "N/A", "N/A", "64", false, ""},
        // qemu-img leaves the VDI geometry at zero.
        {"pattern.vdi", false, image::ImageKind::Vdi, true, "65537", "0", "0", "0", "64", false, ""},
        {"pattern.vmdk", true, image::ImageKind::Vmdk, false, "1", "63", "16", "130", "64", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + (c.pickFixed ? " as fixed" : " as dynamic"));
        c.pickFixed ? page.selectFixed() : page.selectDynamic();
        page.chooseFile(test::fixture(c.fixture));
        EXPECT_TRUE(sink.messages().empty()) << sink.messages().front();
        EXPECT_EQ(state.imageKind, c.kind);
        EXPECT_EQ(page.dynamicSelected, c.dynamicSelected);
        EXPECT_TRUE(page.factsVisible);
        EXPECT_EQ(page.fileFormatVersion, c.version);
        EXPECT_EQ(page.sectorsPerTrack, c.sectors);
        EXPECT_EQ(page.heads, c.heads);
        EXPECT_EQ(page.cylinders, c.cylinders);
        EXPECT_EQ(page.diskSizeText, c.size);
        EXPECT_EQ(page.tableEntriesVisible, c.tableEntriesShown);
        EXPECT_EQ(page.tableEntriesText, c.tableEntries);
        EXPECT_TRUE(page.nextEnabled);
    }
}

TEST_F(ImagePageTest, ARefusedFileLeavesThePageAsIfNoneWasChosen) {
    struct Refusal {
        std::string path;
        bool pickFixed;
        const char* message;
    };
    const Refusal cases[] = {
        {copyAs("pattern.raw", "disk.vdi"), false, "Please select valid vdi file to continue the recovery process."},
        {copyAs("pattern.raw", "disk.vmdk"), true, "Please select valid vmdk file to continue the recovery process."},
        {dir.file("missing.vhd"), true, "invalid handle ..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // A good file first, so that a refusal must also clear what it showed.
        page.selectDynamic();
        page.chooseFile(test::fixture("pattern-dynamic.vhd"));
        c.pickFixed ? page.selectFixed() : page.selectDynamic();
        sink.clear();
        page.chooseFile(c.path);
        EXPECT_EQ(sink.messages(), (std::vector<std::string>{c.message}));
        EXPECT_FALSE(page.nextEnabled);
        EXPECT_FALSE(page.factsVisible);
        EXPECT_TRUE(page.path.empty());
        EXPECT_TRUE(page.diskSizeText.empty());
    }
}

TEST_F(ImagePageTest, EitherRadioClearsThePath) {
    for (bool fixed : {true, false}) {
        page.chooseFile(test::fixture("pattern-dynamic.vhd"));
        fixed ? page.selectFixed() : page.selectDynamic();
        EXPECT_TRUE(page.path.empty());
        EXPECT_FALSE(page.nextEnabled);
        EXPECT_FALSE(page.factsVisible);
        EXPECT_EQ(page.dynamicSelected, !fixed);
    }
}

TEST_F(ImagePageTest, NumberFieldsTakeDigitsOnly) {
    page.chooseFile(test::fixture("pattern-dynamic.vhd"));
    EXPECT_FALSE(page.setDiskSize("12a"));
    EXPECT_FALSE(page.setDiskSize("-1"));
    EXPECT_FALSE(page.setDiskSize("1234567890123"));  // would overflow as bytes
    EXPECT_EQ(page.diskSizeText, "64");
    EXPECT_TRUE(page.setDiskSize("128"));
    EXPECT_FALSE(page.setTableEntries("4294967296"));
    EXPECT_TRUE(page.setTableEntries("4294967295"));
    EXPECT_EQ(page.diskSizeText, "128");
    EXPECT_EQ(page.tableEntriesText, "4294967295");
}

TEST_F(ImagePageTest, NextChecksThePathTheSizeAndForADynamicVhdTheTableLength) {
    struct Check {
        const char* fixture;
        bool clearSize;
        bool clearEntries;
        bool removeFile;
        const char* message;  // empty: the mode page opens
    };
    const Check cases[] = {
        {"pattern-dynamic.vhd", false, false, true, "Please select valid path to continue the recovery process."},
        {"pattern-dynamic.vhd", true, false, false, "Hard disk Size cannot be left blank."},
        {"pattern-dynamic.vhd", false, true, false, "Maximum Table Entries Field cannot be left blank."},
        {"pattern-fixed.vhd", false, true, false, ""},
        // qemu-img leaves the VDI geometry at zero.
        {"pattern.vdi", false, true, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " " + c.message);
        const std::string copy = copyAs(c.fixture, std::string("n") + std::to_string(&c - cases) + c.fixture);
        page.selectDynamic();
        page.chooseFile(copy);
        if (c.clearSize) page.setDiskSize("");
        if (c.clearEntries) page.setTableEntries("");
        if (c.removeFile) std::filesystem::remove(copy);
        sink.clear();
        ScanModePage* next = page.next();
        if (*c.message == '\0') {
            EXPECT_TRUE(sink.messages().empty());
            ASSERT_NE(next, nullptr);
            EXPECT_FALSE(page.visible);
            EXPECT_TRUE(next->back());
            EXPECT_TRUE(page.visible);
        } else {
            EXPECT_EQ(sink.messages(), (std::vector<std::string>{c.message}));
            EXPECT_EQ(next, nullptr);
            EXPECT_TRUE(page.visible);
        }
        EXPECT_EQ(page.modePage(), nullptr);
    }
}

TEST_F(ImagePageTest, TheModePageTakesTheSizeAndTableLengthAsTyped) {
    page.chooseFile(test::fixture("pattern-dynamic.vhd"));
    ScanModePage* modes = page.next();
    ASSERT_NE(modes, nullptr);
    EXPECT_EQ(state.enteredDiskSize, 67108864u);
    EXPECT_EQ(state.enteredTableEntries, 32u);
    EXPECT_EQ(modes->currentDrive, test::fixture("pattern-dynamic.vhd"));
    ASSERT_TRUE(modes->back());
    page.setDiskSize("2048");
    page.setTableEntries("16");
    ASSERT_NE(page.next(), nullptr);
    EXPECT_EQ(state.enteredDiskSize, 2147483648u);
    EXPECT_EQ(state.enteredTableEntries, 16u);
}

TEST_F(ImagePageTest, CloseAsksFirstAndEnterNeverQuits) {
    page.enter();
    EXPECT_TRUE(sink.questions().empty());
    sink.answerQuestions(false);
    EXPECT_FALSE(page.close());
    sink.answerQuestions(true);
    EXPECT_TRUE(page.escape());
    EXPECT_EQ(sink.questions(),
              (std::vector<std::string>{"Do you want to Close Application ?", "Do you want to Close Application ?"}));
}

}  // namespace
}  // namespace vdrec::app
