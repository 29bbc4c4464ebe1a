#pragma once
// The recovery-mode page: Standard, Advanced or Deep for the selected volume, then the anchor
// search page (Advanced) or the results page. Its view is apps/gui/recovery_mode_page.h.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "results/scan_session.h"
#include "app/pages/results_page.h"
#include "volumes/volume_entry.h"

namespace vdrec::app {

class AnchorSearchPage;

class RecoveryModePage {
public:
    RecoveryModePage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                     std::function<void()> onBack = {});
    ~RecoveryModePage();
    RecoveryModePage(const RecoveryModePage&) = delete;
    RecoveryModePage& operator=(const RecoveryModePage&) = delete;

    // --- commands ---
    void selectStandard();
    void selectAdvanced();
    void selectDeep();
    void setFormatted(bool ticked);
    void setMaxFileSystems(std::string_view text) { maxFileSystemsText = std::string(text); }
    enum class NextPage { AnchorSearch, Results };
    // Creates the next page and hides this one.
    NextPage next();
    // True when the page has left: the parent is shown and this object is destroyed.
    bool back();
    bool close();
    void enter() {}

    // The page Next opened; it lives until its Back.
    AnchorSearchPage* anchorPage() { return anchorPage_.get(); }
    app::ResultsPage* resultsPage() { return resultsPage_.get(); }
    // "Please Enter Max File Systems to Find :" as a number; 0, below 1 or text give 3.
    int wantedAnchors() const;
    const volumes::VolumeEntry& volume() const { return volume_; }

    // --- what the view shows ---
    bool standardVisible = true, advancedVisible = true, deepVisible = true;
    bool standardSelected = false, advancedSelected = false, deepSelected = false;
    std::string maxFileSystemsText = "3";
    bool maxFileSystemsEnabled = false;
    bool formattedChecked = false;
    bool formattedEnabled = false;
    bool formattedDrive = false;  // the process-wide formatted-drive flag
    results::ScanMode scanMode = results::ScanMode::Standard;
    bool visible = true;

private:
    void closeNextPages();
    void nextPageLeft();

    image::WizardState& state_;
    platform::UiSink& sink_;
    volumes::VolumeEntry volume_;
    std::string prefix_;
    std::function<void()> onBack_;
    std::unique_ptr<AnchorSearchPage> anchorPage_;
    std::unique_ptr<app::ResultsPage> resultsPage_;
};

}  // namespace vdrec::app
