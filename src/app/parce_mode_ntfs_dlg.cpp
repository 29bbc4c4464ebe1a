#include "app/parce_mode_ntfs_dlg.h"

#include <charconv>

#include "app/advance_options.h"

namespace vdrec::app {

ParceModeNtfsDlg::ParceModeNtfsDlg(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                                   std::function<void()> onBack)
    : state_(state), sink_(sink), volume_(volume), prefix_(volume.fileSystem.substr(0, 3)), onBack_(std::move(onBack)) {
    if (prefix_ == "fat" || prefix_ == "exF") deepVisible = false;
    if (prefix_ == "ext") deepVisible = advancedVisible = false;
    if (prefix_ == "HFS") advancedVisible = false;
    selectStandard();
}

ParceModeNtfsDlg::~ParceModeNtfsDlg() = default;

void ParceModeNtfsDlg::selectStandard() {
    standardSelected = true;
    advancedSelected = deepSelected = false;
    formattedDrive = formattedChecked = formattedEnabled = false;
    maxFileSystemsEnabled = false;
    scanMode = results::ScanMode::Standard;
}

void ParceModeNtfsDlg::selectAdvanced() {
    advancedSelected = true;
    standardSelected = deepSelected = false;
    formattedDrive = formattedChecked = false;
    maxFileSystemsEnabled = true;
    formattedEnabled = prefix_ == "fat";
    scanMode = results::ScanMode::Advanced;
}

void ParceModeNtfsDlg::selectDeep() {
    deepSelected = true;
    standardSelected = advancedSelected = false;
    formattedDrive = formattedChecked = formattedEnabled = false;
    maxFileSystemsEnabled = false;
    scanMode = results::ScanMode::Deep;
}

void ParceModeNtfsDlg::setFormatted(bool ticked) { formattedDrive = formattedChecked = ticked; }

int ParceModeNtfsDlg::wantedAnchors() const {
    int value = 0;
    const auto* first = maxFileSystemsText.data();
    const auto result = std::from_chars(first, first + maxFileSystemsText.size(), value);
    return result.ec == std::errc() && value >= 1 ? value : 3;
}

ParceModeNtfsDlg::NextPage ParceModeNtfsDlg::next() {
    visible = false;
    if (scanMode == results::ScanMode::Advanced) {
        anchorPage_ = std::make_unique<advanceOptions>(state_, sink_, volume_, wantedAnchors(), [this] { visible = true; });
        return NextPage::AnchorSearch;
    }
    resultsPage_ = std::make_unique<results::VolumeScanDlg>(state_, sink_, volume_, scanMode, nullptr,
                                                            results::AdvancedChoice{}, [this] { visible = true; });
    return NextPage::Results;
}

void ParceModeNtfsDlg::destroyClosedPages() {
    if (anchorPage_ && !anchorPage_->visible && !anchorPage_->resultsPage()) anchorPage_.reset();
    if (resultsPage_ && !resultsPage_->visible) resultsPage_.reset();
}

bool ParceModeNtfsDlg::back() {
    visible = false;
    if (onBack_) onBack_();
    return true;
}

bool ParceModeNtfsDlg::close() { return sink_.question("Do you want to Close Application ?"); }

}  // namespace vdrec::app
