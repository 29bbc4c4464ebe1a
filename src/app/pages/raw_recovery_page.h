#pragma once
// The raw recovery page without its window: loads signature files, carves the selected volume
// on a worker with Pause, Resume and Stop, shows the finds as a check-box tree of categories
// beside the list of the clicked category's files, and saves the checked finds. Its view is
// apps/gui/raw_recovery_page.h.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/page_texts.h"
#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "platform/worker.h"
#include "raw/carver.h"
#include "results/check_tree.h"
#include "volumes/volume_entry.h"

namespace vdrec::app {

class SignatureEditorPage;

class RawRecoveryPage {
public:
    // `defaultSignaturePath`: "FileSetting.txt" beside the program unless a caller says otherwise.
    RawRecoveryPage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                    std::function<void()> onBack = {}, std::optional<std::string> defaultSignaturePath = std::nullopt);
    ~RawRecoveryPage();
    RawRecoveryPage(const RawRecoveryPage&) = delete;
    RawRecoveryPage& operator=(const RawRecoveryPage&) = delete;

    // --- commands ---
    // "...": false (after the message) while a scan runs; the view then asks for a file.
    bool browse();
    // The file the user picked with "..."; ignored unless it exists.
    void signatureFileChosen(const std::string& path);
    void parse();
    void pause();
    void resume();
    void stop();
    // The settings button: the signature editor to show modally, or null when refused.
    std::unique_ptr<SignatureEditorPage> openSignatureEditor();
    void labelClick(results::ItemId item);
    void setChecked(results::ItemId item, bool checked);
    void save();
    // True when the page has left (the parent is shown, this object is to be destroyed).
    bool back();
    // The close box and Escape: true when the user confirmed and the application should end.
    bool close();

    size_t pumpWorker() { return worker_.pump(); }
    void waitForWorker() { worker_.join(); }
    platform::Worker& worker() { return worker_; }
    // The finds, once no scan runs (null before the first Parse).
    const raw::Carver* carver() const { return carver_.get(); }

    // --- what the view shows ---
    struct ListRow {
        std::string text;
        results::ItemId item = results::kNoItem;
    };
    std::string defaultSignaturePath;
    std::string signaturePath;  // the text field
    bool loadDefaultItems = true;
    bool parseEnabled = true;
    bool settingsEnabled = true;
    bool pathEnabled = true;
    bool progressVisible = false;
    bool runButtonsVisible = false;
    bool backEnabled = true;
    bool saveEnabled = true;
    bool running = false;
    results::CheckTree tree;
    results::ItemId rootItem = results::kNoItem;
    std::vector<ListRow> listRows;
    bool visible = true;

private:
    void startScan();
    // Ends a Parse that scanned nothing.
    void endWithoutScan();
    void buildFolders();
    void addFind(const raw::FoundFile& file, uint64_t categoryCount);
    std::vector<size_t> checkedFinds() const;
    void stopAndJoin();

    image::WizardState& state_;
    platform::UiSink& sink_;
    volumes::VolumeEntry volume_;
    std::function<void()> onBack_;
    std::unique_ptr<raw::Carver> carver_;
    std::vector<results::ItemId> categoryItems_;
    // The find each file item stands for.
    std::vector<std::pair<results::ItemId, size_t>> findItems_;
    platform::PausableSink workerSink_{sink_, worker_};
    // Declared last: destroyed first, while everything its job uses still exists.
    platform::Worker worker_;
};

}  // namespace vdrec::app
