#include "app/pages/scan_mode_page.h"

#include "app/page_texts.h"
#include "platform/number_field.h"

namespace vdrec::app {

namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;
constexpr size_t kSectorFieldDigits = 18;

std::optional<int64_t> sectorValue(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const auto magnitude = platform::numberFieldValue(negative ? text.substr(1) : text);
    if (!magnitude || *magnitude > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return negative ? -static_cast<int64_t>(*magnitude) : static_cast<int64_t>(*magnitude);
}

}  // namespace

ScanModePage::ScanModePage(image::WizardState& state, platform::UiSink& sink,
                                     const ImageChoice& choice, std::function<void()> onBack)
    : state_(state), sink_(sink), onBack_(std::move(onBack)) {
    currentDrive = choice.imagePath;
    // The first page caps its field so that the size in bytes always fits.
    state_.enteredDiskSize = choice.diskSizeMegabytes <= UINT64_MAX / kMegabyte ? choice.diskSizeMegabytes * kMegabyte : 0;
    if (choice.tableEntries) state_.enteredTableEntries = *choice.tableEntries;
    sink_.status("Choose any one of the mode and Click Next....");
    selectStandard();
}

ScanModePage::~ScanModePage() {
    // The volume page goes first: its worker may still use the reader this page's state holds.
    volumePage_.reset();
    stopAndJoin();
}

void ScanModePage::stopAndJoin() {
    if (export_) export_->stopRequested = true;
    worker_.stop();
    worker_.join();
}

void ScanModePage::selectStandard() {
    standardSelected = true;
    advanceSelected = false;
    doNotSkipEnabled = customEnabled = sectorFieldsEnabled = false;
}

void ScanModePage::selectAdvance() {
    advanceSelected = true;
    standardSelected = false;
    doNotSkipEnabled = customEnabled = true;
    // Ticked before, the custom range is in force again.
    sectorFieldsEnabled = customChecked;
}

void ScanModePage::setGptFormat(bool ticked) { gptChecked = ticked; }

void ScanModePage::setDoNotSkip(bool ticked) {
    if (doNotSkipEnabled) doNotSkipChecked = ticked;
}

void ScanModePage::setCustomSetting(bool ticked) {
    if (!customEnabled) return;
    customChecked = ticked;
    sectorFieldsEnabled = ticked;
}

bool ScanModePage::setStartingSector(std::string_view text) {
    if (!platform::isNumberFieldText(text, kSectorFieldDigits)) return false;
    startingSectorText = text;
    return true;
}

bool ScanModePage::setEndingSector(std::string_view text) {
    const std::string_view digits = !text.empty() && text.front() == '-' ? text.substr(1) : text;
    if (!platform::isNumberFieldText(digits, kSectorFieldDigits)) return false;
    endingSectorText = text;
    return true;
}

void ScanModePage::setSaveDiskImage(bool ticked) {
    if (!saveImageCheckEnabled) return;
    saveImageChecked = ticked;
    saveImageButtonEnabled = ticked;
}

void ScanModePage::setExportBusy(bool exporting) {
    nextEnabled = backEnabled = saveImageCheckEnabled = !exporting;
    saveImageButtonEnabled = !exporting && saveImageChecked;
    progressVisible = stopVisible = exporting;
}

void ScanModePage::saveDiskImage() {
    if (busy_ || !saveImageButtonEnabled) return;
    sink_.message("Make sure you have sufficient disk space at saving location of Image File");
    const auto folder = sink_.pickFolder(kChooseFolder);
    if (!folder || folder->empty()) return;
    outputPath = volumes::exportOutputPath(state_.imagePath, *folder);

    // The job reports through the worker's sink; its busy switch and its end reach the page's
    // controls on the page's thread.
    export_ = std::make_unique<volumes::DiskExport>(state_, workerSink_);
    export_->onBusy = [this](bool exporting) { worker_.callOnPage([&] { setExportBusy(exporting); }); };
    busy_ = true;
    lastOutcome_.reset();
    volumes::DiskExport* job = export_.get();
    const std::string target = outputPath;
    worker_.start(
        [this, job, target] {
            const auto outcome = job->run(target);
            worker_.callOnPage([&] {
                lastOutcome_ = outcome;
                setExportBusy(false);
                busy_ = false;
            });
        },
        [job] { job->stopRequested = true; });
}

void ScanModePage::stop() {
    if (!worker_.running()) return;
    if (!sink_.question(kStopQuestion)) return;
    export_->stopRequested = true;
    worker_.stop();
}

void ScanModePage::pause() { worker_.pause(); }
void ScanModePage::resume() { worker_.resume(); }

app::VolumePage* ScanModePage::next() {
    if (busy_) {
        sink_.message(kWaitForRunningProcess);
        return nullptr;
    }
    VolumePageOptions options;
    options.scanMode = standardSelected ? 1 : 2;
    options.gptDisk = gptChecked;
    options.doNotSkip = doNotSkipChecked;
    if (customChecked) {
        const auto first = sectorValue(startingSectorText);
        const auto last = sectorValue(endingSectorText);
        if (last && *last >= 0) {
            options.rangeFirst = first.value_or(0);
            options.rangeLast = *last;
        }
    }
    // A finished export's thread is joined before its state goes.
    worker_.join();
    export_.reset();
    volumePage_.reset();
    volumePage_ = std::make_unique<app::VolumePage>(state_, sink_, options, [this] {
        volumePage_.reset();
        visible = true;
    });
    visible = false;
    volumePage_->open();
    return volumePage_.get();
}

bool ScanModePage::back() {
    if (busy_ || !backEnabled) {
        sink_.message(kWaitForRunningProcess);
        return false;
    }
    worker_.join();
    auto leave = std::move(onBack_);
    if (leave) leave();  // destroys this page: nothing of it is touched below
    return true;
}

bool ScanModePage::close() {
    if (!sink_.question(kCloseQuestion)) return false;
    stopAndJoin();
    return true;
}

}  // namespace vdrec::app
