#include "app/pages/volume_page.h"

#include <algorithm>
#include <cctype>

#include "app/page_texts.h"
#include "app/pages/raw_recovery_page.h"
#include "app/pages/recovery_mode_page.h"
#include "platform/number_field.h"
#include "platform/text_format.h"
#include "volumes/volume_extent.h"
#include "volumes/volume_filter.h"
#include "volumes/volume_scan.h"

namespace vdrec::app {

namespace {

// Sector fields hold signed 64-bit numbers.
constexpr size_t kSectorFieldDigits = 18;
constexpr int64_t kSectorsPerMegabyte = 2048;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

int64_t fieldNumber(const std::string& text) {
    const auto value = platform::numberFieldValue(text);
    return value && *value <= static_cast<uint64_t>(INT64_MAX) ? static_cast<int64_t>(*value) : 0;
}

std::string trimmed(std::string text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// The name the later pages dispatch on for a "Treat file system as:" item.
std::string treatAsFileSystem(std::string_view item) {
    if (item == "EXTX") return "extX";
    if (item == "HFS+") return "HFS+";
    std::string lower(item);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

VolumePage::VolumePage(image::WizardState& state, platform::UiSink& sink, VolumePageOptions options,
                                   std::function<void()> onBack)
    : state_(state), sink_(sink), options_(options), onBack_(std::move(onBack)) {}

VolumePage::~VolumePage() {
    // The later pages go first: their workers read through the reader the scan opened.
    closeNextPages();
    stopAndJoin();
}

void VolumePage::closeNextPages() {
    recoveryModePage_.reset();
    rawRecoveryPage_.reset();
}

void VolumePage::stopAndJoin() {
    if (scanner_) scanner_->stopRequested = true;
    worker_.stop();
    worker_.join();
}

void VolumePage::open() {
    customEnabled = customChecked = customFieldsEnabled = false;
    addCustomEnabled = false;
    if (options_.scanMode == 1)
        runStandardScan();
    else
        startAdvancedScan();
}

void VolumePage::runStandardScan() {
    sink_.progressRange(0, volumes::kProgressEnd);
    addCustomVisible = false;
    scanner_ = std::make_unique<volumes::Partition>(state_, sink_);
    scanner_->gptDisk = options_.gptDisk;
    // provideReader shows "file not opened.." itself; the page stays usable either way.
    if (volumes::provideReader(state_, sink_)) {
        rows_.clear();
        records_.clear();
        selectedRow_.reset();
        scanner_->scanTables(*state_.reader, records_);
        for (size_t k = 0; k < records_.size(); ++k) {
            records_[k].label = platform::format("%zu", k);
            rows_.push_back({records_[k].label, records_[k].fileSystem, records_[k].sizeText,
                             platform::format("%lld", static_cast<long long>(records_[k].startSector)), k});
        }
        if (!records_.empty()) customEnabled = true;
    }
    filterEnabled = true;
    sink_.status("Finished Scanning.");
    progressVisible = stopVisible = false;
    sink_.status("Select volume and click next button...");
    sink_.progressPosition(volumes::kProgressEnd);
}

void VolumePage::startAdvancedScan() {
    addCustomEnabled = false;
    nextEnabled = false;
    scanner_ = std::make_unique<volumes::Partition>(state_, workerSink_);
    scanner_->skipFoundVolumes = !options_.doNotSkip;
    scanner_->firstSector = options_.rangeFirst;
    scanner_->lastSector = options_.rangeLast;
    // The reader outlives the scan (the later pages borrow it), so it reports to the page's own
    // sink, not to the worker's.
    if (!volumes::provideReader(state_, sink_)) {
        nextEnabled = true;
        backEnabled = true;
        progressVisible = stopVisible = false;
        return;
    }
    rows_.clear();
    records_.clear();
    selectedRow_.reset();
    // Back and Filter Entries go off before the job starts, so the page never offers them while
    // the job already uses the reader and the records.
    backEnabled = false;
    filterEnabled = false;
    busy_ = true;
    volumes::Partition* scanner = scanner_.get();
    scanner->onFound = [this](const volumes::VolumeEntry& entry) { worker_.callOnPage([&] { appendFound(entry); }); };
    image::ImageReader* reader = state_.reader.get();
    worker_.start(
        [this, scanner, reader] {
            std::vector<volumes::VolumeEntry> found;
            scanner->scanSignatures(*reader, found);
            worker_.callOnPage([this] { finishAdvancedScan(); });
        },
        [scanner] { scanner->stopRequested = true; });
}

void VolumePage::appendFound(const volumes::VolumeEntry& entry) {
    records_.push_back(entry);
    addRowOnTop(records_.size() - 1);
}

void VolumePage::addRowOnTop(size_t record) {
    const volumes::VolumeEntry& entry = records_[record];
    rows_.insert(rows_.begin(), Row{entry.label, entry.fileSystem, entry.sizeText,
                                    platform::format("%lld", static_cast<long long>(entry.startSector)), record});
    if (selectedRow_) ++*selectedRow_;
}

void VolumePage::finishAdvancedScan() {
    backEnabled = true;
    sink_.status("Scanned Partitions");
    sink_.message("populated partitions....");
    sink_.status("Finished Scanning.");
    if (!records_.empty()) customEnabled = true;
    addCustomEnabled = true;
    nextEnabled = true;
    filterEnabled = true;
    progressVisible = stopVisible = false;
    sink_.status("Select volume and click next button...");
    busy_ = false;
}

void VolumePage::selectRow(size_t row) {
    if (row >= rows_.size()) return;
    selectedRow_ = row;
    const Row& shown = rows_[row];
    selectedVolumeText = shown.volume;
    startSectorText = shown.startSector;
    const int64_t megabytes = volumes::leadingMegabytes(shown.volumeSize);
    const int64_t start = fieldNumber(shown.startSector);
    endSectorText = platform::format("%lld", static_cast<long long>(megabytes * kSectorsPerMegabyte + start - 1));
}

void VolumePage::clickRow(size_t row) {
    if (row >= rows_.size()) return;
    selectRow(row);
    const std::string& fileSystem = rows_[row].fileSystem;
    if (fileSystem.empty()) return;
    for (size_t k = 0; k < kTreatAsItems.size(); ++k) {
        if (startsWithIgnoringCase(kTreatAsItems[k], fileSystem)) {
            treatAsItem = k;
            return;
        }
    }
}

void VolumePage::setCustomSettings(bool ticked) {
    if (!customEnabled) return;
    customChecked = ticked;
    customFieldsEnabled = ticked;
}

bool VolumePage::setStartSectorText(std::string_view text) {
    if (!platform::isNumberFieldText(text, kSectorFieldDigits)) return false;
    startSectorText = text;
    return true;
}

bool VolumePage::setEndSectorText(std::string_view text) {
    if (!platform::isNumberFieldText(text, kSectorFieldDigits)) return false;
    endSectorText = text;
    return true;
}

namespace {

void spin(std::string& field, int step) {
    const int64_t value = fieldNumber(field);
    if (step < 0 && value < INT64_MAX) field = platform::format("%lld", static_cast<long long>(value + 1));
    if (step > 0 && value > 0) field = platform::format("%lld", static_cast<long long>(value - 1));
}

}  // namespace

void VolumePage::spinStartSector(int step) { spin(startSectorText, step); }
void VolumePage::spinEndSector(int step) { spin(endSectorText, step); }

void VolumePage::selectTreatAs(std::optional<size_t> item) {
    if (item && *item >= kTreatAsItems.size()) return;
    treatAsItem = item;
}

void VolumePage::addCustomVolume() {
    if (busy_ || !addCustomEnabled || !addCustomVisible) return;
    const size_t record = records_.size();
    records_.push_back({"CUSTOM ", platform::format("%zu", record), "0", 0});
    customEnabled = customChecked = customFieldsEnabled = true;
    addRowOnTop(record);
    selectRow(0);
    startSectorText = "0";
    endSectorText = "0";
}

void VolumePage::filterEntries() {
    if (busy_ || !filterEnabled) return;
    rows_.clear();
    selectedRow_.reset();
    for (size_t record : volumes::filterVolumeRecords(records_)) {
        records_[record].label = platform::format("%zu", record);
        addRowOnTop(record);
    }
}

const volumes::VolumeEntry* VolumePage::selectedVolume() const {
    return selectedRecord_ && *selectedRecord_ < records_.size() ? &records_[*selectedRecord_] : nullptr;
}

NextPage VolumePage::next() {
    if (busy_) {
        sink_.message(kWaitForRunningProcess);
        return NextPage::None;
    }
    if (!selectedRow_) {
        sink_.message("please select a valid volume.");
        return NextPage::None;
    }
    const Row& row = rows_[*selectedRow_];
    selectedRecord_ = row.record;
    volumes::VolumeEntry& volume = records_[row.record];
    if (!customChecked && handedToRaw_) {
        volume.label = row.volume;
        volume.fileSystem = row.fileSystem;
        std::string size = row.volumeSize;
        for (auto at = size.find("MB"); at != std::string::npos; at = size.find("MB")) size.erase(at, 2);
        volume.sizeText = trimmed(size);
        volume.startSector = fieldNumber(row.startSector);
    }
    const bool raw = customChecked && treatAsItem && kTreatAsItems[*treatAsItem] == "RAW";
    volumes::VolumeEntry chosen = volume;
    if (customChecked) {
        const int64_t start = fieldNumber(startSectorText);
        const int64_t end = fieldNumber(endSectorText);
        chosen.startSector = start;
        // An empty or zero End Sector means "up to the end of the disk".
        chosen.sizeText = volumes::handGivenSizeText(start, end, state_.totalSectors);
        chosen.sectorCount = volumes::handGivenSectorCount(start, end, state_.totalSectors);
        if (treatAsItem && !raw) chosen.fileSystem = treatAsFileSystem(kTreatAsItems[*treatAsItem]);
    }
    // The scan has ended (Next is refused while it runs); its thread is joined before the
    // scanner it used goes.
    worker_.join();
    scanner_.reset();
    // Nothing past the disk's last sector can be read: such a start leaves the record as it was.
    if (!volumes::fitToDisk(chosen, state_.totalSectors)) {
        sink_.message(volumes::kVolumePastDiskEnd);
        return NextPage::None;
    }
    volume = std::move(chosen);
    if (raw) {
        handedToRaw_ = true;
        volume.fileSystem = "RAW";
        closeNextPages();
        rawRecoveryPage_ = std::make_unique<RawRecoveryPage>(state_, sink_, volume, [this] { nextPageLeft(); });
        visible = false;
        return NextPage::RawRecovery;
    }
    if (equalsIgnoringCase(volume.fileSystem, "unknown")) {
        sink_.message("can not parse unknown volume");
        return NextPage::None;
    }
    closeNextPages();
    recoveryModePage_ = std::make_unique<RecoveryModePage>(state_, sink_, volume, [this] { nextPageLeft(); });
    visible = false;
    return NextPage::RecoveryMode;
}

void VolumePage::nextPageLeft() {
    // Called from inside the next page's Back, which touches nothing of itself afterwards.
    closeNextPages();
    show();
}

bool VolumePage::back() {
    if (!backEnabled) {
        sink_.message(kWaitForRunningProcess);
        return false;
    }
    // Back is offered again once Stop was pressed, while the scan may still be winding down:
    // it ends and is joined before the page and the scanner go.
    stopAndJoin();
    rows_.clear();
    auto leave = std::move(onBack_);
    if (leave) leave();  // destroys this page: nothing of it is touched below
    return true;
}

void VolumePage::stop() {
    if (!worker_.running()) return;
    if (scanner_) scanner_->stopRequested = true;
    worker_.stop();
    backEnabled = true;
}

void VolumePage::pause() { worker_.pause(); }
void VolumePage::resume() { worker_.resume(); }

bool VolumePage::close() {
    if (!sink_.question(kCloseQuestion)) return false;
    stopAndJoin();
    return true;
}

}  // namespace vdrec::app
