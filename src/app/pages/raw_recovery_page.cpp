#include "app/pages/raw_recovery_page.h"

#include <sys/stat.h>

#include <algorithm>

#include "app/pages/signature_editor_page.h"
#include "image/image_reader.h"
#include "raw/carve_area.h"
#include "raw/signature_file.h"
#include "results/save_walk.h"
#include "volumes/volume_filter.h"

namespace vdrec::app {

namespace {

constexpr std::string_view kProcessing = "Processing.....";
constexpr std::string_view kWorkerEnded = "Scanning processing done.Select save button to save the data";

bool isRegularFile(const std::string& path) {
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

RawRecoveryPage::RawRecoveryPage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                                 std::function<void()> onBack, std::optional<std::string> defaultPath)
    : state_(state), sink_(sink), volume_(volume), onBack_(std::move(onBack)) {
    defaultSignaturePath = defaultPath ? *defaultPath : raw::defaultSignaturePath();
    signaturePath = defaultSignaturePath;
    sink_.status(kRawRecoveryIntro);
}

RawRecoveryPage::~RawRecoveryPage() { stopAndJoin(); }

void RawRecoveryPage::stopAndJoin() {
    if (carver_) carver_->stop();
    worker_.stop();
    worker_.join();
}

bool RawRecoveryPage::browse() {
    if (running) {
        sink_.message(kWaitForRunningProcess);
        return false;
    }
    return true;
}

void RawRecoveryPage::signatureFileChosen(const std::string& path) {
    if (!running && isRegularFile(path)) signaturePath = path;
}

void RawRecoveryPage::parse() {
    if (running) {
        sink_.message(kWaitForRunningProcess);
        return;
    }
    progressVisible = runButtonsVisible = true;
    running = true;
    // A new scan needs the page to be opened again.
    parseEnabled = settingsEnabled = false;

    // The default file and the field naming the same file load it once, not twice.
    const std::string defaultPath = loadDefaultItems ? defaultSignaturePath : std::string();
    if (loadDefaultItems) sink_.status(kProcessing);
    const raw::LoadedSignatures loaded = raw::loadSignatureFiles(defaultPath, signaturePath, sink_);
    if (loaded.defaultInvalid) defaultSignaturePath.clear();
    if (loadDefaultItems || !signaturePath.empty()) {
        if (!carver_ || loadDefaultItems) {
            if (!state_.reader) {
                endWithoutScan();
                return;
            }
            carver_ = std::make_unique<raw::Carver>(*state_.reader);
        }
        carver_->addSignatures(loaded.records);
    }
    if (loaded.userFailed) {
        endWithoutScan();
        return;
    }
    if ((loadDefaultItems && defaultSignaturePath.empty()) || !carver_ || carver_->signatures().empty()) {
        sink_.message("Enter the info file first..");
        endWithoutScan();
        return;
    }
    const auto megabytes = static_cast<uint64_t>(std::max<int64_t>(volumes::leadingMegabytes(volume_.sizeText), 0));
    const uint64_t bytes = raw::carveAreaBytes(volume_.startSector, megabytes, state_.totalSectors);
    if (megabytes == 0 || bytes == 0) {
        sink_.message(raw::kZeroSizeVolume);
        endWithoutScan();
        return;
    }
    carver_->setArea(volume_.startSector, bytes);
    pathEnabled = false;
    startScan();
}

void RawRecoveryPage::endWithoutScan() {
    backEnabled = saveEnabled = true;
    progressVisible = runButtonsVisible = false;
    running = false;
    sink_.status(kRawScanEnded);
}

void RawRecoveryPage::buildFolders() {
    tree.clear();
    listRows.clear();
    categoryItems_.clear();
    findItems_.clear();
    rootItem = tree.insert(results::kNoItem, std::string(raw::kRawRecoveryRoot), results::ItemIcon::Folder, std::nullopt);
    for (const raw::Category& category : carver_->categories())
        categoryItems_.push_back(tree.insert(rootItem, category.name, results::ItemIcon::Folder, std::nullopt));
    tree.setExpanded(rootItem, true);
}

void RawRecoveryPage::addFind(const raw::FoundFile& file, uint64_t categoryCount) {
    if (file.category >= categoryItems_.size()) return;
    const results::ItemId folder = categoryItems_[file.category];
    raw::Category counted{carver_->categories()[file.category].name, categoryCount};
    tree.item(folder).text = raw::categoryText(counted);
    const results::ItemId item = tree.insert(folder, file.name, results::ItemIcon::File, std::nullopt);
    findItems_.emplace_back(item, carver_->foundFiles().size() - 1);
}

void RawRecoveryPage::startScan() {
    buildFolders();
    carver_->onFound = [this](const raw::FoundFile& file, const raw::Category& category) {
        const uint64_t count = category.count;
        worker_.callOnPage([this, &file, count] { addFind(file, count); });
    };
    worker_.start(
        [this] {
            worker_.callOnPage([this] {
                backEnabled = saveEnabled = false;
                sink_.status(kProcessing);
            });
            carver_->run(workerSink_);
            worker_.callOnPage([this] {
                backEnabled = saveEnabled = true;
                sink_.status(kWorkerEnded);
                progressVisible = runButtonsVisible = false;
                running = false;
            });
        },
        [this] { carver_->stop(); });
}

void RawRecoveryPage::pause() {
    if (!worker_.running()) return;
    worker_.pause();
    sink_.status("Pause button pressed.");
}

void RawRecoveryPage::resume() {
    if (!worker_.running()) return;
    worker_.resume();
    sink_.status("Resume button pressed.");
}

void RawRecoveryPage::stop() {
    if (!worker_.running()) return;
    worker_.stop();
    sink_.status("Stop button pressed.Please wait for the process to stop");
}

std::unique_ptr<SignatureEditorPage> RawRecoveryPage::openSignatureEditor() {
    if (running) {
        sink_.message(kWaitForRunningProcess);
        return nullptr;
    }
    return std::make_unique<SignatureEditorPage>(sink_);
}

void RawRecoveryPage::labelClick(results::ItemId item) {
    if (!tree.contains(item)) return;
    tree.selected = item;
    listRows.clear();
    for (results::ItemId child : tree.item(item).children) {
        const results::TreeItem& row = tree.item(child);
        if (row.icon != results::ItemIcon::Folder) listRows.push_back({row.text, child});
    }
}

void RawRecoveryPage::setChecked(results::ItemId item, bool checked) {
    if (tree.contains(item)) tree.setCheck(item, checked);
}

std::vector<size_t> RawRecoveryPage::checkedFinds() const {
    std::vector<size_t> finds;
    for (const auto& [item, find] : findItems_)
        if (tree.contains(item) && tree.getCheck(item)) finds.push_back(find);
    return finds;
}

void RawRecoveryPage::save() {
    const std::vector<size_t> finds = checkedFinds();
    if (finds.empty()) {
        sink_.message("Please select folder to continue the saving process.");
        return;
    }
    if (running) {
        sink_.message(kWaitForRunningProcess);
        return;
    }
    const auto folder = sink_.pickFolder(kChooseFolder);
    if (!folder || folder->empty()) return;
    running = true;
    backEnabled = saveEnabled = false;
    progressVisible = true;
    worker_.start(
        [this, finds, folder = *folder] {
            workerSink_.progressRange(0, static_cast<int64_t>(finds.size()));
            uint64_t notWritten = 0;
            uint64_t done = 0;
            for (size_t find : finds) {
                if (worker_.stopRequested()) break;
                const raw::FoundFile& file = carver_->foundFiles()[find];
                workerSink_.status("saving File  " + folder + "/" + file.name);
                const raw::SavedFind saved = carver_->save(file, folder);
                if (saved.error != 0 || saved.readFailed) ++notWritten;
                workerSink_.progressPosition(static_cast<int64_t>(++done));
            }
            results::reportSaved(workerSink_, finds.size(), notWritten);
            worker_.callOnPage([this] {
                backEnabled = saveEnabled = true;
                progressVisible = false;
                running = false;
            });
        },
        [] {});
}

bool RawRecoveryPage::back() {
    if (!backEnabled || running) {
        sink_.message(kWaitForRunningProcess);
        return false;
    }
    stopAndJoin();
    visible = false;
    auto leave = std::move(onBack_);
    if (leave) leave();  // may destroy this page: nothing of it is touched below
    return true;
}

bool RawRecoveryPage::close() {
    if (!sink_.question(kCloseQuestion)) return false;
    stopAndJoin();
    return true;
}

}  // namespace vdrec::app
