#pragma once
// The volume page: scans the disk in the mode chosen on the mode page, lists the volumes, lets
// the user correct or add one, and opens the next page over the selected volume. The scans
// themselves live in src/volumes; its view is apps/gui/volume_page.h.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "platform/worker.h"
#include "volumes/partition.h"
#include "volumes/volume_entry.h"

namespace vdrec::app {

class RawRecoveryPage;
class RecoveryModePage;

// What the mode page hands over.
struct VolumePageOptions {
    int scanMode = 1;  // 1 standard scan, 2 advanced scan
    bool gptDisk = false;
    bool doNotSkip = false;
    int64_t rangeFirst = 0;
    int64_t rangeLast = 0;
};

// The page Next opened.
enum class NextPage { None, RecoveryMode, RawRecovery };

// "Treat file system as:", sorted as the drop-down list shows it.
inline constexpr std::array<std::string_view, 7> kTreatAsItems = {"EXTX", "FAT16", "FAT32", "FAT64",
                                                                   "HFS+", "NTFS", "RAW"};

class VolumePage {
public:
    struct Row {
        std::string volume;       // VOLUME
        std::string fileSystem;   // FILE_SYSTEM
        std::string volumeSize;   // VOLUME_SIZE
        std::string startSector;  // START_SECTOR
        size_t record = 0;        // index into records()
    };

    // `onBack` is the parent's part of Back: show the parent again and destroy this page.
    VolumePage(image::WizardState& state, platform::UiSink& sink, VolumePageOptions options,
                     std::function<void()> onBack = {});
    ~VolumePage();
    VolumePage(const VolumePage&) = delete;
    VolumePage& operator=(const VolumePage&) = delete;

    // Opening the page: the standard scan runs here; the advanced scan starts on the worker.
    void open();

    // --- commands ---
    void selectRow(size_t row);  // selection change: fills the three fields
    void clickRow(size_t row);   // a click: selects, and picks the row's file system below
    void setCustomSettings(bool ticked);
    bool setStartSectorText(std::string_view text);  // digits only; false leaves the field as it was
    bool setEndSectorText(std::string_view text);
    void spinStartSector(int step);  // up-down buttons: -1 adds one, +1 subtracts one above 0
    void spinEndSector(int step);
    void selectTreatAs(std::optional<size_t> item);  // index into kTreatAsItems
    void addCustomVolume();
    void filterEntries();
    // Creates the page the selected volume leads to (raw recovery for a volume treated as "RAW",
    // recovery mode otherwise) and hides this one; None when a check refused.
    NextPage next();
    // True when the page has left: the parent is shown and this object is destroyed.
    bool back();
    void stop();
    void pause();
    void resume();
    // The close box and Escape: true when the user confirmed and the application should end.
    bool close();
    bool escape() { return close(); }
    // Enter never quits; only close does, after its question.
    void enter() {}
    // Shown again when a later page goes back to it.
    void show() { visible = true; }

    // The page Next opened; it lives until its Back.
    RecoveryModePage* recoveryModePage() { return recoveryModePage_.get(); }
    RawRecoveryPage* rawRecoveryPage() { return rawRecoveryPage_.get(); }

    // Applies the worker's page calls (the front end calls it when the worker wakes it up).
    size_t pumpWorker() { return worker_.pump(); }
    // Waits for the worker to end, applying its page calls meanwhile.
    void waitForWorker() { worker_.join(); }
    platform::Worker& worker() { return worker_; }

    // --- what the view shows ---
    const std::vector<volumes::VolumeEntry>& records() const { return records_; }
    const std::vector<Row>& rows() const { return rows_; }  // top row first
    std::optional<size_t> selectedRow() const { return selectedRow_; }
    // The record chosen by Next; the later pages read it.
    const volumes::VolumeEntry* selectedVolume() const;
    bool handedToRaw() const { return handedToRaw_; }
    // A worker runs, or its end has not reached the page yet.
    bool busy() const { return busy_; }
    const VolumePageOptions& options() const { return options_; }

    std::string selectedVolumeText;  // "Selected Volume :"
    std::string startSectorText;     // "Start Sector:"
    std::string endSectorText;       // "End Sector :"
    std::optional<size_t> treatAsItem;
    bool customChecked = false;
    bool customEnabled = false;        // the "Custom Settings For Selected Volume " box itself
    bool customFieldsEnabled = false;  // the fields the box unlocks
    bool addCustomVisible = true;
    bool addCustomEnabled = false;
    bool filterEnabled = false;
    bool nextEnabled = true;
    bool backEnabled = true;
    bool progressVisible = true;
    bool stopVisible = true;
    bool visible = true;

private:
    void runStandardScan();
    void startAdvancedScan();
    void appendFound(const volumes::VolumeEntry& entry);
    void finishAdvancedScan();
    void addRowOnTop(size_t record);
    void closeNextPages();
    void nextPageLeft();
    void stopAndJoin();

    image::WizardState& state_;
    platform::UiSink& sink_;
    VolumePageOptions options_;
    std::function<void()> onBack_;
    std::vector<volumes::VolumeEntry> records_;
    std::vector<Row> rows_;
    std::optional<size_t> selectedRow_;
    std::optional<size_t> selectedRecord_;
    std::unique_ptr<volumes::Partition> scanner_;
    bool handedToRaw_ = false;
    bool busy_ = false;
    std::unique_ptr<RecoveryModePage> recoveryModePage_;
    std::unique_ptr<RawRecoveryPage> rawRecoveryPage_;
    platform::PausableSink workerSink_{sink_, worker_};
    // Declared last: destroyed first, while everything its job uses still exists.
    platform::Worker worker_;
};

}  // namespace vdrec::app
