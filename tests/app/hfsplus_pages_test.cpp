// The results page driven headlessly on the HFS+ volume xorriso makes and on its copy with both
// volume headers zeroed (tests/fixtures/make-hfsplus.sh): the status line item by item.

#include <gtest/gtest.h>

#include <algorithm>

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
    Opened(const std::string& fixture, const std::string& sizeText) {
        state.imagePath = test::fixture(fixture);
        state.imageKind = image::ImageKind::Raw;
        EXPECT_TRUE(volumes::provideReader(state, sink));
        volume = {"HFS+", "2", sizeText, 156};
    }
};

bool contains(const std::vector<std::string>& texts, std::string_view text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(HfsPlusResultsPage, ShowsEachFirstLevelItemWithItsPositionInTheCatalog) {
    // Catalog node IDs 2 (the root), 16 ... 226: the root's children 16, 17, 21, 22, 23, 224 and
    // 225 sit at these positions of the ID-ordered entries.
    const std::vector<std::string> items = {
        "found file at Node 1",   "found folder at Node 2",   "found folder at Node 6",   "found file at Node 7",
        "found folder at Node 8", "found file at Node 209", "found folder at Node 210",
    };
    const struct {
        const char* fixture;
        results::ScanMode mode;
    } cases[] = {
        {"hfsplus.iso", results::ScanMode::Standard},
        {"hfsplus-noheader.iso", results::ScanMode::Deep},
        {"hfsplus.iso", results::ScanMode::Deep},
    };
    for (const auto& c : cases) {
        Opened opened(c.fixture, "3");
        app::ResultsPage page(opened.state, opened.sink, opened.volume, c.mode);
        page.waitForWorker();
        const auto statuses = opened.sink.statuses();
        ASSERT_FALSE(statuses.empty()) << c.fixture;
        EXPECT_EQ(statuses.front(), "HFS+ partition selected....") << c.fixture;
        EXPECT_TRUE(contains(statuses, "Maintaining Parent Child....")) << c.fixture;
        EXPECT_TRUE(contains(statuses, "Maintaining Parent Child for record 0 of 212....")) << c.fixture;
        std::vector<std::string> found;
        std::copy_if(statuses.begin(), statuses.end(), std::back_inserter(found),
                     [](const std::string& s) { return s.rfind("found ", 0) == 0; });
        EXPECT_EQ(found, items) << c.fixture;
        EXPECT_EQ(statuses.back(), kScanDone) << c.fixture;
        EXPECT_EQ(opened.sink.messages(), std::vector<std::string>{std::string(kScanDone)}) << c.fixture;
    }
}

TEST(HfsPlusResultsPage, AScanThatCannotStartSaysSoOnTheStatusLine) {
    const struct {
        const char* fixture;
        const char* sizeText;
        results::ScanMode mode;
        std::vector<std::string> lastStatuses;
        std::vector<std::string> messages;
    } cases[] = {
        // No volume header: the standard scan has no catalog to read, and says the volume holds no HFS+.
        {"hfsplus-noheader.iso", "3", results::ScanMode::Standard, {"Running process Aborted...."},
         {"The selected volume holds no HFS+ file system."}},
        // A volume of no megabytes holds no node to look for.
        {"hfsplus-noheader.iso", "0", results::ScanMode::Deep,
         {"BlockSize not valid .Aborting..", "Running process Aborted...."}, {}},
    };
    for (const auto& c : cases) {
        Opened opened(c.fixture, c.sizeText);
        app::ResultsPage page(opened.state, opened.sink, opened.volume, c.mode);
        page.waitForWorker();
        const auto statuses = opened.sink.statuses();
        ASSERT_GE(statuses.size(), c.lastStatuses.size()) << c.sizeText;
        EXPECT_EQ(std::vector<std::string>(statuses.end() - static_cast<std::ptrdiff_t>(c.lastStatuses.size()), statuses.end()),
                  c.lastStatuses)
            << c.sizeText;
        EXPECT_EQ(opened.sink.messages(), c.messages) << c.sizeText;
        EXPECT_TRUE(page.backEnabled) << c.sizeText;
        // Nothing is listed.
        const results::ResultsModel* model = page.model();
        EXPECT_TRUE(model == nullptr || !model->tree.contains(model->topItem) ||
                    model->tree.item(model->topItem).children.empty())
            << c.sizeText;
    }
}

}  // namespace
}  // namespace vdrec
