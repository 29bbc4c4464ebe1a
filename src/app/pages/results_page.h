#pragma once
// The results page without its window: set-up, the scan worker, Pause, Resume, Stop, Back,
// close and exit, Save, double click and Search, over the results model of src/results. Its
// view is apps/gui/results_page.h.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "platform/worker.h"
#include "results/name_search.h"
#include "results/save_walk.h"
#include "results/scan_session.h"
#include "volumes/volume_entry.h"

namespace vdrec::app {

class ResultsPage {
public:
    // Sets the page up and starts the scan worker. In Advanced mode `session` is the anchor
    // page's, already searched; otherwise null and the page creates its own.
    ResultsPage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume, results::ScanMode mode,
                  std::unique_ptr<results::ScanSession> session = nullptr, results::AdvancedChoice choice = {},
                  std::function<void()> onBack = {});
    ~ResultsPage();
    ResultsPage(const ResultsPage&) = delete;
    ResultsPage& operator=(const ResultsPage&) = delete;

    // --- commands ---
    void pause();
    void resume();
    void stop();
    // True when the page has left: the parent is shown and this object is destroyed.
    bool back();
    // The close box and Escape: true when the user confirmed and the application should end.
    bool close();
    // Enter runs Search from the search box; it never quits.
    void enter() { search(); }
    void save();
    void search();
    // Tree and list input; ignored while a worker runs (the tree and list are inert then).
    void labelClick(results::ItemId item);
    void expand(results::ItemId item);
    void doubleClick(results::ItemId item);
    void listCheckClick(size_t row);

    // The model, for the view to draw; only while no worker runs (see inert()).
    results::ResultsModel* model();
    bool inert() const { return workerRunning; }
    size_t pumpWorker() { return worker_.pump(); }
    void waitForWorker() { worker_.join(); }
    platform::Worker& worker() { return worker_; }

    // --- what the view shows ---
    std::string volumeData;  // "Volume Data:"
    std::string searchText;  // the search box
    std::string outputFolder;
    bool progressVisible = true;
    bool pauseVisible = true;
    bool resumeVisible = true;
    bool stopVisible = true;
    bool backEnabled = false;
    bool workerRunning = false;
    bool searching = false;
    bool visible = true;

private:
    void startScan(results::ScanMode mode, results::AdvancedChoice choice);
    void endOfScan();
    bool refuseWhileRunning();
    void stopAndJoin();

    image::WizardState& state_;
    platform::UiSink& sink_;
    std::function<void()> onBack_;
    std::unique_ptr<results::ScanSession> session_;
    std::unique_ptr<results::NameSearch> search_;
    platform::PausableSink workerSink_{sink_, worker_};
    // Declared last: destroyed first, while everything its job uses still exists.
    platform::Worker worker_;
};

}  // namespace vdrec::app
