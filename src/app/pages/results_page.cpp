#include "app/pages/results_page.h"

#include "app/page_texts.h"
#include "platform/folders.h"

namespace vdrec::app {

ResultsPage::ResultsPage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                             results::ScanMode mode, std::unique_ptr<results::ScanSession> session, results::AdvancedChoice choice,
                             std::function<void()> onBack)
    : state_(state), sink_(sink), onBack_(std::move(onBack)), session_(std::move(session)) {
    volumeData = volume.label.empty() ? volume.sizeText : volume.label;
    if (!session_) session_ = results::ScanSession::create(volume, state_, sink_);
    if (!session_) {
        // No worker starts: Back must stay usable.
        backEnabled = true;
        return;
    }
    startScan(mode, choice);
}

ResultsPage::~ResultsPage() { stopAndJoin(); }

void ResultsPage::stopAndJoin() {
    if (session_) session_->requestStop();
    if (search_) search_->stopRequested = true;
    worker_.stop();
    worker_.join();
}

void ResultsPage::startScan(results::ScanMode mode, results::AdvancedChoice choice) {
    workerRunning = true;
    session_->setSink(workerSink_);
    worker_.start(
        [this, mode, choice] {
            session_->run(mode, choice);
            worker_.callOnPage([this] { endOfScan(); });
        },
        [this] { session_->requestStop(); });
}

void ResultsPage::endOfScan() {
    session_->setSink(sink_);
    backEnabled = true;
    progressVisible = pauseVisible = resumeVisible = stopVisible = false;
    workerRunning = false;
}

results::ResultsModel* ResultsPage::model() { return session_ && !workerRunning ? &session_->model() : nullptr; }

bool ResultsPage::refuseWhileRunning() {
    if (!workerRunning) return false;
    sink_.message(kWaitForRunningProcess);
    return true;
}

void ResultsPage::pause() {
    if (!workerRunning) return;
    worker_.pause();
    sink_.status(kPausePressed);
}

void ResultsPage::resume() {
    if (!workerRunning) return;
    worker_.resume();
    sink_.status(kResumePressed);
}

void ResultsPage::stop() {
    if (!session_) return;
    session_->requestStop();
    if (search_) search_->stopRequested = true;
    // A paused worker must see the request: release it.
    worker_.resume();
    sink_.status("stop button pressed.Please wait for the process to be stopped.");
}

bool ResultsPage::back() {
    if (refuseWhileRunning()) return false;
    stopAndJoin();
    visible = false;
    auto leave = std::move(onBack_);
    if (leave) leave();  // may destroy this page: nothing of it is touched below
    return true;
}

bool ResultsPage::close() {
    if (!sink_.question(kCloseQuestion)) return false;
    if (session_) session_->requestStop();
    sink_.status(kAllThreadsStopped);
    stopAndJoin();
    return true;
}

void ResultsPage::save() {
    if (refuseWhileRunning()) return;
    auto folder = sink_.pickFolder(kChooseFolder);
    outputFolder = folder && platform::isFolder(*folder) ? *folder : std::string();
    if (outputFolder.empty()) {
        sink_.message(kInvalidOutputFolder);
        return;
    }
    results::ResultsModel& results = session_->model();
    const results::ItemId selected = results.tree.selected;
    if (!results.tree.contains(selected) || !results.tree.item(selected).entry) return;
    results::saveWithConfirmation(session_->adapter(), sink_, *results.tree.item(selected).entry, outputFolder);
}

void ResultsPage::doubleClick(results::ItemId item) {
    if (!session_ || workerRunning) return;
    results::ResultsModel& results = session_->model();
    const auto file = results.doubleClick(item);
    if (!file) return;
    // A file is never written without a folder the user picked.
    if (outputFolder.empty()) {
        auto folder = sink_.pickFolder(kChooseFolder);
        if (!folder || !platform::isFolder(*folder)) {
            sink_.message(kInvalidOutputFolder);
            return;
        }
        outputFolder = *folder;
    }
    results::SaveWalk walk(session_->adapter(), sink_);
    const results::SavedFile saved = walk.saveFile(*file, outputFolder, session_->adapter().name(*file));
    if (saved.status == results::SavedFile::Status::NoData)
        sink_.message(results::noDataMessage(session_->adapter().name(*file)));
    else if (saved.status != results::SavedFile::Status::Ok)
        sink_.message("The file could not be written completely: " + saved.output);
}

void ResultsPage::search() {
    if (!session_) return;
    if (refuseWhileRunning()) return;
    workerRunning = searching = true;
    progressVisible = pauseVisible = resumeVisible = stopVisible = true;
    search_ = std::make_unique<results::NameSearch>(session_->model(), workerSink_);
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

void ResultsPage::labelClick(results::ItemId item) {
    if (auto* results = model()) {
        results->tree.selected = item;
        results->labelClick(item);
    }
}

void ResultsPage::expand(results::ItemId item) {
    if (auto* results = model()) results->expand(item);
}

void ResultsPage::listCheckClick(size_t row) {
    if (auto* results = model()) results->listCheckClick(row);
}

}  // namespace vdrec::app
