#include "app/pages/anchor_search_page.h"

#include "app/page_texts.h"
#include "platform/text_format.h"

namespace vdrec::app {

AnchorSearchPage::AnchorSearchPage(image::WizardState& state, platform::UiSink& sink, const volumes::VolumeEntry& volume,
                               int wantedAnchors, std::function<void()> onBack, bool formattedDrive)
    : state_(state),
      sink_(sink),
      volume_(volume),
      onBack_(std::move(onBack)),
      kind_(results::fileSystemKind(volume.fileSystem)),
      wantedAnchors_(wantedAnchors),
      formattedDrive_(formattedDrive) {
    if (kind_ != results::FileSystemKind::Ntfs && kind_ != results::FileSystemKind::Fat16 &&
        kind_ != results::FileSystemKind::Fat32 && kind_ != results::FileSystemKind::Exfat) {
        sink_.message("not a valid drive.");
        backEnabled = true;
        return;
    }
    startSearch();
}

void AnchorSearchPage::startSearch() {
    session_ = results::ScanSession::create(volume_, state_, sink_);
    if (!session_) {
        // No worker starts: Back must stay usable.
        backEnabled = true;
        return;
    }
    clusterVisible = true;
    if (kind_ == results::FileSystemKind::Fat16) anchorLabel = "Total fat16 Entries Found:";
    if (kind_ == results::FileSystemKind::Exfat) {
        anchorLabel = "Total fat64 Entries Found:";
        heapVisible = true;
    }
    anchorItems.clear();
    clusterItems.clear();
    heapItems.clear();
    anchorSelection = clusterSelection = heapSelection = -1;
    nextEnabled = backEnabled = false;
    progressVisible = pauseVisible = resumeVisible = stopVisible = true;
    searching = true;
    session_->setSink(workerSink_);
    worker_.start(
        [this] {
            session_->findAnchors(wantedAnchors_);
            worker_.callOnPage([this] { fillLists(); });
        },
        [this] { session_->requestStop(); });
}

AnchorSearchPage::~AnchorSearchPage() {
    // The results page holds the session only after Next; until then the worker may use it.
    stopAndJoin();
}

void AnchorSearchPage::stopAndJoin() {
    if (session_) session_->requestStop();
    worker_.stop();
    worker_.join();
}

void AnchorSearchPage::fillLists() {
    session_->setSink(sink_);
    anchorItems.clear();
    const char* itemFormat = kind_ == results::FileSystemKind::Fat16   ? "FAT_ENTRY:%zu"
                             : kind_ == results::FileSystemKind::Fat32 ? "FAT32_ENTRY:%zu"
                             : kind_ == results::FileSystemKind::Exfat ? "FAT64_ENTRY:%zu"
                                                                       : "MFT_ENTRY:%zu";
    for (const auto& anchor : session_->anchors()) anchorItems.push_back(platform::format(itemFormat, anchor.index));
    heapItems.clear();
    for (const auto& heap : session_->heapAnchors()) heapItems.push_back(heap.text);
    clusterItems = results::clusterSizeItems(kind_, session_->bootSectorsPerCluster());
    anchorSelection = anchorItems.empty() ? -1 : 0;
    heapSelection = heapItems.empty() ? -1 : 0;
    clusterSelection = 0;
    searching = false;
    const int found = static_cast<int>(anchorItems.size());
    constexpr const char* kChoose = " . Please select the choice from combo box and click Parse button to proceed.";
    if (kind_ == results::FileSystemKind::Fat16)
        sink_.message(platform::format("Number of FAT-ENTRY found = %d", found) + kChoose);
    else if (kind_ == results::FileSystemKind::Exfat)
        sink_.message(platform::format("Number of FAT64-ENTRY found = %d and Number of HeapOffset-ENTRY found =  %d  . "
                                       "Please select the choice from ( Entry and Heap ) Combobox and click Parse "
                                       "button to proceed.",
                                       found, static_cast<int>(heapItems.size())));
    else if (kind_ == results::FileSystemKind::Fat32 && found == 0)
        sink_.message("NO FAT  FAT32-ENTRY found ..");
    else if (kind_ == results::FileSystemKind::Fat32)
        sink_.message(platform::format("Number of FAT32-ENTRY found = %d", found) + kChoose);
    else
        sink_.message(platform::format("Number of MFT-ENTRY found = %d", found) + kChoose);
    nextEnabled = backEnabled = true;
    progressVisible = pauseVisible = resumeVisible = stopVisible = false;
    sink_.status(kind_ == results::FileSystemKind::Ntfs ? "Parsing done.Click next to continue."
                                                        : "Parsing done.Click Next to continue.");
}

void AnchorSearchPage::pause() {
    if (!searching) return;
    worker_.pause();
    sink_.status(kPausePressed);
}

void AnchorSearchPage::resume() {
    if (!searching) return;
    worker_.resume();
    sink_.status(kResumePressed);
}

void AnchorSearchPage::stop() {
    if (session_) session_->requestStop();
    worker_.resume();
    sink_.status("stop button pressed");
    nextEnabled = backEnabled = true;
}

app::ResultsPage* AnchorSearchPage::next() {
    // The parser is handed over only once its search has ended.
    if (searching) {
        sink_.message(kWaitForRunningProcess);
        return nullptr;
    }
    if (anchorSelection < 0 || static_cast<size_t>(anchorSelection) >= anchorItems.size()) {
        sink_.message("No File system Entry Found.Process cannot be continue...");
        return nullptr;
    }
    if (clusterSelection < 0 || static_cast<size_t>(clusterSelection) >= clusterItems.size()) return nullptr;
    worker_.join();
    results::AdvancedChoice choice;
    choice.anchorIndex = static_cast<size_t>(anchorSelection);
    choice.sectorsPerCluster = std::stoi(clusterItems[static_cast<size_t>(clusterSelection)]);
    // No heap chosen: an index past the list, so the rebuild has no heap and builds nothing.
    choice.heapIndex = heapSelection < 0 ? heapItems.size() : static_cast<size_t>(heapSelection);
    choice.formatted = formattedDrive_;
    visible = false;
    resultsPage_ = std::make_unique<app::ResultsPage>(state_, sink_, volume_, results::ScanMode::Advanced,
                                                      std::move(session_), choice, [this] { resultsPageLeft(); });
    return resultsPage_.get();
}

void AnchorSearchPage::resultsPageLeft() {
    // Called from inside the results page's Back, which touches nothing of itself afterwards.
    // The searched parser went with that page, so the search runs again: a second Next must
    // hand on a parser that knows its anchors, never a fresh one that would list nothing.
    resultsPage_.reset();
    visible = true;
    startSearch();
}

bool AnchorSearchPage::back() {
    stopAndJoin();
    visible = false;
    auto leave = std::move(onBack_);
    if (leave) leave();  // may destroy this page: nothing of it is touched below
    return true;
}

bool AnchorSearchPage::close() {
    if (!sink_.question(kCloseQuestion)) return false;
    sink_.status(kAllThreadsStopped);
    stopAndJoin();
    return true;
}

}  // namespace vdrec::app
