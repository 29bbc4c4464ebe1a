#include "app/pages/recovery_mode_page.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "app/page_texts.h"
#include "app/pages/anchor_search_page.h"

namespace vdrec::app {

RecoveryModePage::RecoveryModePage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                                   std::function<void()> onBack)
    : state_(state), sink_(sink), volume_(volume), prefix_(volume.fileSystem.substr(0, 3)), onBack_(std::move(onBack)) {
    // The volume scan names file systems in capitals ("FAT16"), hand-made volumes in the
    // page's own spelling ("fat16"): the prefix is compared without regard to case.
    std::transform(prefix_.begin(), prefix_.end(), prefix_.begin(), [](unsigned char c) { return std::tolower(c); });
    if (prefix_ == "fat" || prefix_ == "exf") deepVisible = false;
    if (prefix_ == "ext") deepVisible = advancedVisible = false;
    if (prefix_ == "hfs") advancedVisible = false;
    selectStandard();
}

RecoveryModePage::~RecoveryModePage() { closeNextPages(); }

void RecoveryModePage::closeNextPages() {
    resultsPage_.reset();
    anchorPage_.reset();
}

void RecoveryModePage::selectStandard() {
    standardSelected = true;
    advancedSelected = deepSelected = false;
    formattedDrive = formattedChecked = formattedEnabled = false;
    maxFileSystemsEnabled = false;
    scanMode = results::ScanMode::Standard;
}

void RecoveryModePage::selectAdvanced() {
    advancedSelected = true;
    standardSelected = deepSelected = false;
    formattedDrive = formattedChecked = false;
    maxFileSystemsEnabled = true;
    formattedEnabled = prefix_ == "fat";
    scanMode = results::ScanMode::Advanced;
}

void RecoveryModePage::selectDeep() {
    deepSelected = true;
    standardSelected = advancedSelected = false;
    formattedDrive = formattedChecked = formattedEnabled = false;
    maxFileSystemsEnabled = false;
    scanMode = results::ScanMode::Deep;
}

void RecoveryModePage::setFormatted(bool ticked) { formattedDrive = formattedChecked = ticked; }

int RecoveryModePage::wantedAnchors() const {
    int value = 0;
    const auto* first = maxFileSystemsText.data();
    const auto result = std::from_chars(first, first + maxFileSystemsText.size(), value);
    return result.ec == std::errc() && value >= 1 ? value : 3;
}

RecoveryModePage::NextPage RecoveryModePage::next() {
    // A page opened before is gone (its worker joined) before the next one starts reading.
    closeNextPages();
    visible = false;
    if (scanMode == results::ScanMode::Advanced) {
        anchorPage_ = std::make_unique<AnchorSearchPage>(state_, sink_, volume_, wantedAnchors(),
                                                         [this] { nextPageLeft(); }, formattedDrive);
        return NextPage::AnchorSearch;
    }
    resultsPage_ = std::make_unique<app::ResultsPage>(state_, sink_, volume_, scanMode, nullptr, results::AdvancedChoice{},
                                                      [this] { nextPageLeft(); });
    return NextPage::Results;
}

void RecoveryModePage::nextPageLeft() {
    // Called from inside the next page's Back, which touches nothing of itself afterwards.
    closeNextPages();
    visible = true;
}

bool RecoveryModePage::back() {
    visible = false;
    auto leave = std::move(onBack_);
    if (leave) leave();  // may destroy this page: nothing of it is touched below
    return true;
}

bool RecoveryModePage::close() { return sink_.question(kCloseQuestion); }

}  // namespace vdrec::app
