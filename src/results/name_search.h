#pragma once
// Finding files by name anywhere in the volume: an ECMAScript pattern, case-insensitive,
// matched anywhere inside each name.

#include <atomic>
#include <functional>
#include <string>

#include "fs/file_system_adapter.h"
#include "platform/ui_sink.h"
#include "results/results_model.h"

namespace vdrec::results {

struct SearchHit {
    std::string path;  // "ROOT/" + the names below the top item joined by "/"
    fs::EntryRef entry = fs::kNoEntry;
};

class NameSearch {
public:
    NameSearch(ResultsModel& model, platform::UiSink& sink) : model_(model), sink_(sink) {}

    // Fills the model's list with the hits (and calls onHit for each). Ends with "Searching
    // Finished", or with the invalid-pattern message. Stop ends the whole search.
    void run(const std::string& pattern);

    std::atomic<bool> stopRequested{false};
    std::function<void(const SearchHit&)> onHit;

private:
    void addHit(const std::string& path, fs::EntryRef entry, bool deleted);
    bool searchFolder(fs::EntryRef folder, const std::string& path, const std::string& pattern);

    ResultsModel& model_;
    platform::UiSink& sink_;
    long long rows_ = 0;
};

}  // namespace vdrec::results
