#pragma once
// One results page's scan, without its window: picks the parser for the volume's file system,
// runs the scan worker's steps for the chosen mode, and ends the scan as the page does
// (placeholders, recycle-bin names, the end-of-scan message). The wizard and the command line
// both drive it.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fs/file_system_adapter.h"
#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "results/results_model.h"
#include "volumes/volume_entry.h"

namespace vdrec::results {

enum class ScanMode { Standard = 1, Advanced = 2, Deep = 3 };

// The anchor page's choices, for Advanced mode, and the recovery-mode page's formatted-drive flag.
struct AdvancedChoice {
    size_t anchorIndex = 0;
    int sectorsPerCluster = 8;  // "Sector Per Cluster :" (exFAT: the cluster shift); 0 keeps the parser's own
    size_t heapIndex = 0;       // "Heap Offset :" (exFAT)
    bool formatted = false;     // "Is Drive Formated..?": FAT chains are not followed
};

struct AnchorInfo {
    size_t index = 0;
    std::string text;
    uint64_t sector = 0;  // from the volume's start
};

class ScanSession {
public:
    virtual ~ScanSession() = default;

    // nullptr, after "not a valid drive." (and its status), when no parser reads the volume's
    // file system; nullptr after "Please Restart the program ..." when there is no reader.
    static std::unique_ptr<ScanSession> create(const volumes::VolumeEntry& volume, image::WizardState& state,
                                               platform::UiSink& sink);

    // The anchor search of the anchor page (Advanced mode); returns the number found.
    virtual size_t findAnchors(int maxCount) = 0;
    virtual std::vector<AnchorInfo> anchors() const = 0;
    // The cluster-heap anchors (exFAT), found by the same search.
    virtual std::vector<AnchorInfo> heapAnchors() const { return {}; }
    // The boot sector's sectors per cluster (exFAT: its cluster shift), when the anchor search
    // could read it.
    virtual std::optional<int> bootSectorsPerCluster() const { return std::nullopt; }

    // The scan worker: the file system's steps for `mode`, then the end of scan. False when the
    // scan ended early (a failed volume check, a missing choice), after its message.
    virtual bool run(ScanMode mode, const AdvancedChoice& choice = {}) = 0;
    // Sets the parser's stop request; the running step ends at its next check.
    virtual void requestStop() = 0;
    // Where the parser's status, progress and messages go from now on (the page driving it).
    virtual void setSink(platform::UiSink& sink) = 0;

    virtual fs::FileSystemAdapter& adapter() = 0;
    virtual ResultsModel& model() = 0;
};

// Which results parser a volume's file-system name selects, ignoring case, in the page's order:
// "ntfs"; "fat32"; "fat16" or "fat"; "extX"; "fat64" or "exFat"; "HFS+".
enum class FileSystemKind { None, Ntfs, Fat32, Fat16, Ext, Exfat, HfsPlus };
FileSystemKind fileSystemKind(const std::string& name);

// The anchor page's "Sector Per Cluster :" items for a file system, in order: the boot sector's
// value first when there is one.
std::vector<std::string> clusterSizeItems(FileSystemKind kind, std::optional<int> bootSectorsPerCluster);

// The sessions of each file system, for ScanSession::create.
// `totalSectors` is the disk's size: no search of the volume reads past it.
std::unique_ptr<ScanSession> makeNtfsScanSession(const volumes::VolumeEntry& volume, uint64_t totalSectors,
                                                 image::ImageReader& reader, platform::UiSink& sink);
std::unique_ptr<ScanSession> makeFatScanSession(FileSystemKind kind, const volumes::VolumeEntry& volume,
                                                image::ImageReader& reader, platform::UiSink& sink);
std::unique_ptr<ScanSession> makeExfatScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader,
                                                  platform::UiSink& sink);
std::unique_ptr<ScanSession> makeExtScanSession(const volumes::VolumeEntry& volume, image::ImageReader& reader,
                                                platform::UiSink& sink);
std::unique_ptr<ScanSession> makeHfsPlusScanSession(const volumes::VolumeEntry& volume, uint64_t totalSectors,
                                                    image::ImageReader& reader, platform::UiSink& sink);

}  // namespace vdrec::results
