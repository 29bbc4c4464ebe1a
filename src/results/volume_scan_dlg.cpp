#include "results/volume_scan_dlg.h"

#include "platform/folders.h"

namespace vdrec::results {

namespace {

constexpr std::string_view kWait = "Please wait for the running process.";

}  // namespace

VolumeScanDlg::VolumeScanDlg(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                             ScanMode mode, std::unique_ptr<ScanSession> session, AdvancedChoice choice,
                             std::function<void()> onBack)
    : state_(state), sink_(sink), onBack_(std::move(onBack)), session_(std::move(session)) {
    volumeData = volume.label.empty() ? volume.sizeText : volume.label;
    if (!session_) session_ = ScanSession::create(volume, state_, sink_);
    if (!session_) {
        // No worker starts: Back must stay usable.
        backEnabled = true;
        return;
    }
    startScan(mode, choice);
}

VolumeScanDlg::~VolumeScanDlg() { stopAndJoin(); }

void VolumeScanDlg::stopAndJoin() {
    if (session_) session_->requestStop();
    if (search_) search_->stopRequested = true;
    worker_.stop();
    worker_.join();
}

void VolumeScanDlg::startScan(ScanMode mode, AdvancedChoice choice) {
    workerRunning = true;
    session_->setSink(workerSink_);
    worker_.start(
        [this, mode, choice] {
            session_->run(mode, choice);
            worker_.callOnPage([this] { endOfScan(); });
        },
        [this] { session_->requestStop(); });
}

void VolumeScanDlg::endOfScan() {
    session_->setSink(sink_);
    backEnabled = true;
    progressVisible = pauseVisible = resumeVisible = stopVisible = false;
    workerRunning = false;
}

ResultsModel* VolumeScanDlg::model() { return session_ && !workerRunning ? &session_->model() : nullptr; }

bool VolumeScanDlg::refuseWhileRunning() {
    if (!workerRunning) return false;
    sink_.message(kWait);
    return true;
}

void VolumeScanDlg::pause() {
    if (!workerRunning) return;
    worker_.pause();
    sink_.status("Pause button pressed");
}

void VolumeScanDlg::resume() {
    if (!workerRunning) return;
    worker_.resume();
    sink_.status("Resume button pressed");
}

void VolumeScanDlg::stop() {
    if (!session_) return;
    session_->requestStop();
    if (search_) search_->stopRequested = true;
    // A paused worker must see the request: release it.
    worker_.resume();
    sink_.status("stop button pressed.Please wait for the process to be stopped.");
}

bool VolumeScanDlg::back() {
    if (refuseWhileRunning()) return false;
    stopAndJoin();
    visible = false;
    if (onBack_) onBack_();
    return true;
}

bool VolumeScanDlg::close() {
    if (!sink_.question("Do you want to Close Application ?")) return false;
    if (session_) session_->requestStop();
    sink_.status("All thread Stopped");
    stopAndJoin();
    return true;
}

void VolumeScanDlg::save() {
    if (refuseWhileRunning()) return;
    auto folder = sink_.pickFolder("Please choose a folder.");
    outputFolder = folder && platform::isFolder(*folder) ? *folder : std::string();
    if (outputFolder.empty()) {
        sink_.message("Please select valid output folder");
        return;
    }
    ResultsModel& results = session_->model();
    const ItemId selected = results.tree.selected;
    if (!results.tree.contains(selected) || !results.tree.item(selected).entry) return;
    saveWithConfirmation(session_->adapter(), sink_, *results.tree.item(selected).entry, outputFolder);
}

void VolumeScanDlg::doubleClick(ItemId item) {
    if (!session_ || workerRunning) return;
    ResultsModel& results = session_->model();
    const auto file = results.doubleClick(item);
    if (!file) return;
    // A file is never written without a folder the user picked.
    if (outputFolder.empty()) {
        auto folder = sink_.pickFolder("Please choose a folder.");
        if (!folder || !platform::isFolder(*folder)) {
            sink_.message("Please select valid output folder");
            return;
        }
        outputFolder = *folder;
    }
    SaveWalk walk(session_->adapter(), sink_);
    const SavedFile saved = walk.saveFile(*file, outputFolder, session_->adapter().name(*file));
    if (saved.status != SavedFile::Status::Ok) sink_.message("The file could not be written completely: " + saved.output);
}

void VolumeScanDlg::search() {
    if (!session_) return;
    if (refuseWhileRunning()) return;
    workerRunning = searching = true;
    progressVisible = pauseVisible = resumeVisible = stopVisible = true;
    search_ = std::make_unique<NameSearch>(session_->model(), workerSink_);
    const std::string pattern = searchText;
    worker_.start(
        [this, pattern] {
            search_->run(pattern);
            worker_.callOnPage([this] {
                workerRunning = searching = false;
                progressVisible = pauseVisible = resumeVisible = stopVisible = false;
            });
        },
        [this] { search_->stopRequested = true; });
}

void VolumeScanDlg::labelClick(ItemId item) {
    if (auto* results = model()) {
        results->tree.selected = item;
        results->labelClick(item);
    }
}

void VolumeScanDlg::expand(ItemId item) {
    if (auto* results = model()) results->expand(item);
}

void VolumeScanDlg::listCheckClick(size_t row) {
    if (auto* results = model()) results->listCheckClick(row);
}

}  // namespace vdrec::results
