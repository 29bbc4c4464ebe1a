#pragma once
// The anchor-search page ("ADVANCE OPTIONS"): searches the damaged volume for copies of its
// tables on a worker, offers them with cluster sizes, and hands its parser to the results page.
// Its view is apps/gui/anchor_search_page.h.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "platform/worker.h"
#include "results/scan_session.h"
#include "app/pages/results_page.h"
#include "volumes/volume_entry.h"

namespace vdrec::app {

class AnchorSearchPage {
public:
    AnchorSearchPage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                   int wantedAnchors, std::function<void()> onBack = {}, bool formattedDrive = false);
    ~AnchorSearchPage();
    AnchorSearchPage(const AnchorSearchPage&) = delete;
    AnchorSearchPage& operator=(const AnchorSearchPage&) = delete;

    // --- commands ---
    void pause();
    void resume();
    void stop();
    void selectAnchor(int index) { anchorSelection = index; }
    void selectClusterSize(int index) { clusterSelection = index; }
    void selectHeap(int index) { heapSelection = index; }
    // Opens the results page in Advanced mode; null when refused.
    app::ResultsPage* next();
    // True when the page has left: the parent is shown and this object is destroyed.
    bool back();
    bool close();
    void enter() {}

    // The page Next opened; it lives until its Back.
    app::ResultsPage* resultsPage() { return resultsPage_.get(); }
    size_t pumpWorker() { return worker_.pump(); }
    void waitForWorker() { worker_.join(); }
    platform::Worker& worker() { return worker_; }

    // --- what the view shows ---
    std::string title = "ADVANCE OPTIONS";
    std::string anchorLabel = "TFS :";
    std::vector<std::string> anchorItems;
    std::vector<std::string> clusterItems;
    std::vector<std::string> heapItems;  // exFAT: the cluster-heap anchors
    int anchorSelection = -1;
    int clusterSelection = -1;
    int heapSelection = -1;
    bool clusterVisible = false;
    bool heapVisible = false;
    bool progressVisible = true;
    bool pauseVisible = true, resumeVisible = true, stopVisible = true;
    bool nextEnabled = false;
    bool backEnabled = false;
    bool searching = false;
    bool visible = true;

private:
    void startSearch();
    void fillLists();
    void resultsPageLeft();
    void stopAndJoin();

    image::WizardState& state_;
    platform::UiSink& sink_;
    volumes::VolumeEntry volume_;
    std::function<void()> onBack_;
    results::FileSystemKind kind_;
    int wantedAnchors_;
    bool formattedDrive_;
    std::unique_ptr<results::ScanSession> session_;
    std::unique_ptr<app::ResultsPage> resultsPage_;
    platform::PausableSink workerSink_{sink_, worker_};
    // Declared last: destroyed first, while everything its job uses still exists.
    platform::Worker worker_;
};

}  // namespace vdrec::app
