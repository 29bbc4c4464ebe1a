#pragma once
// The scan-mode page: standard or advanced volume scan, GPT, scan range, and the disk image
// export. Its view is apps/gui/scan_mode_page.h.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "platform/worker.h"
#include "volumes/disk_export.h"
#include "app/pages/volume_page.h"

namespace vdrec::app {

class ScanModePage {
public:
    // What the first page settled.
    struct ImageChoice {
        std::string imagePath;
        uint64_t diskSizeMegabytes = 0;
        std::optional<uint32_t> tableEntries;  // a dynamic VHD's "MAXIMUM TABLE ENTRIES:"
    };

    // `onBack` is the parent's part of Back: show the parent again and destroy this page.
    ScanModePage(image::WizardState& state, platform::UiSink& sink, const ImageChoice& choice,
                      std::function<void()> onBack = {});
    ~ScanModePage();
    ScanModePage(const ScanModePage&) = delete;
    ScanModePage& operator=(const ScanModePage&) = delete;

    // --- commands ---
    void selectStandard();
    void selectAdvance();
    void setGptFormat(bool ticked);
    void setDoNotSkip(bool ticked);
    void setCustomSetting(bool ticked);
    // Digits only, with an optional leading '-' for the ending sector; false leaves the field.
    bool setStartingSector(std::string_view text);
    bool setEndingSector(std::string_view text);
    void setSaveDiskImage(bool ticked);  // the "Save Disk Image:" check box
    void saveDiskImage();                // the "Save Disk Image" button
    void stop();
    void pause();
    void resume();
    // Creates the volume page, opens it (its scan runs or starts) and hides this page.
    app::VolumePage* next();
    // True when the page has left: the parent is shown and this object is destroyed.
    bool back();
    // The close box: true when the user confirmed and the application should end.
    bool close();
    // The page ignores Enter and Escape.
    void enter() {}
    void escape() {}

    app::VolumePage* volumePage() { return volumePage_.get(); }
    size_t pumpWorker() { return worker_.pump(); }
    void waitForWorker() { worker_.join(); }
    platform::Worker& worker() { return worker_; }
    // The export runs, or its end has not reached the page yet.
    bool busy() const { return busy_; }
    std::optional<volumes::DiskExport::Outcome> lastExportOutcome() const { return lastOutcome_; }

    // --- what the view shows ---
    std::string currentDrive;  // "Currently Selected Drive :"
    bool standardSelected = false;
    bool advanceSelected = false;
    bool gptChecked = false;
    bool doNotSkipChecked = false;
    bool doNotSkipEnabled = false;
    bool customChecked = false;
    bool customEnabled = false;
    bool sectorFieldsEnabled = false;  // both sector labels and fields
    std::string startingSectorText = "0";
    std::string endingSectorText = "0";
    bool saveImageChecked = false;
    bool saveImageCheckEnabled = true;
    bool saveImageButtonEnabled = false;
    std::string outputPath;  // the path field beside "Save Disk Image"
    bool progressVisible = false;
    bool stopVisible = false;
    bool nextEnabled = true;
    bool backEnabled = true;
    bool visible = true;

private:
    void setExportBusy(bool exporting);
    void stopAndJoin();

    image::WizardState& state_;
    platform::UiSink& sink_;
    std::function<void()> onBack_;
    std::unique_ptr<volumes::DiskExport> export_;
    std::optional<volumes::DiskExport::Outcome> lastOutcome_;
    bool busy_ = false;
    std::unique_ptr<app::VolumePage> volumePage_;
    platform::PausableSink workerSink_{sink_, worker_};
    // Declared last: destroyed first, while everything its job uses still exists.
    platform::Worker worker_;
};

}  // namespace vdrec::app
