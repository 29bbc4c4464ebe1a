#pragma once
// One results page's scan, without its window: the scanner of the volume's file system (from
// the registry), run for the chosen mode, and the results model it fills. The wizard and the
// command line both drive it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fs/file_system.h"
#include "fs/scanner.h"
#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "results/results_model.h"
#include "volumes/volume_entry.h"

namespace vdrec::results {

using fs::AdvancedChoice;
using fs::AnchorInfo;
using fs::ScanMode;
using FileSystemKind = fs::FileSystem;

class ScanSession {
public:
    // nullptr, after "not a valid drive." (and its status), when no file system of the registry
    // reads the volume's; nullptr after "Please Restart the program ..." when there is no reader.
    static std::unique_ptr<ScanSession> create(const volumes::VolumeEntry& volume, image::WizardState& state,
                                               platform::UiSink& sink);

    explicit ScanSession(std::unique_ptr<fs::Scanner> scanner);
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    // The anchor search of the anchor page (Advanced mode); returns the number found.
    size_t findAnchors(int maxCount) { return scanner_->findAnchors(maxCount); }
    std::vector<AnchorInfo> anchors() const { return scanner_->anchors(); }
    // The cluster-heap anchors (exFAT), found by the same search.
    std::vector<AnchorInfo> heapAnchors() const { return scanner_->heapAnchors(); }
    // The boot sector's sectors per cluster (exFAT: its cluster shift), when the anchor search
    // could read it.
    std::optional<int> bootSectorsPerCluster() const { return scanner_->bootSectorsPerCluster(); }

    // The scan worker: the file system's steps for `mode`, then the end of scan. False when the
    // scan ended early (not this file system, a failed volume check, a missing choice), after
    // its message.
    bool run(ScanMode mode, const AdvancedChoice& choice = {});
    // Sets the parser's stop request; the running step ends at its next check.
    void requestStop() { scanner_->requestStop(); }
    // Where the parser's status, progress and messages go from now on (the page driving it).
    void setSink(platform::UiSink& sink) { scanner_->setSink(sink); }

    fs::FileSystemAdapter& adapter() { return scanner_->adapter(); }
    ResultsModel& model() { return model_; }

private:
    std::unique_ptr<fs::Scanner> scanner_;
    ResultsModel model_;
};

// Which results parser a volume's file-system name selects (fs::fileSystemNamed).
FileSystemKind fileSystemKind(const std::string& name);

// The anchor page's "Sector Per Cluster :" items for a file system, in order: the boot sector's
// value first when there is one.
std::vector<std::string> clusterSizeItems(FileSystemKind kind, std::optional<int> bootSectorsPerCluster);

}  // namespace vdrec::results
