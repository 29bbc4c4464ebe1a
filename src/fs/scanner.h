#pragma once
// What a file system gives the results page: its scan steps for each mode, with their status
// texts, run on the page's worker, and the adapter the results model reads entries through.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/file_system.h"
#include "fs/file_system_adapter.h"
#include "image/block_device.h"
#include "platform/ui_sink.h"

namespace vdrec::fs {

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

inline constexpr std::string_view kScanDone = "Scanning processing done.Select save button to save the data.";

// The results tree a scan fills, seen from the file system: each scan orders these steps, and
// its status lines around them, its own way.
class ScanResults {
public:
    virtual ~ScanResults() = default;
    virtual void buildTopLevel() = 0;
    virtual void afterScan() = 0;
    virtual void restoreRecycledNames() = 0;
};

// The volume a scanner reads.
struct ScanTarget {
    FileSystem fileSystem = FileSystem::None;
    image::DeviceSlice volume;   // from the volume's first byte to the end of the disk
    uint64_t volumeBytes = 0;    // what the volume list gives as its size; 0 when unknown
    uint64_t bytesToDiskEnd = 0; // no search of the volume reads past the disk's last sector
};

class Scanner {
public:
    virtual ~Scanner() = default;

    // The anchor search of the anchor page (Advanced mode); returns the number found.
    virtual size_t findAnchors(int maxCount) = 0;
    virtual std::vector<AnchorInfo> anchors() const = 0;
    // The cluster-heap anchors (exFAT), found by the same search.
    virtual std::vector<AnchorInfo> heapAnchors() const { return {}; }
    // The boot sector's sectors per cluster (exFAT: its cluster shift), when the anchor search
    // could read it.
    virtual std::optional<int> bootSectorsPerCluster() const { return std::nullopt; }

    // The file system's steps for `mode`, then the end of scan into `results`. False when the
    // scan ended early (not this file system, a missing choice), after its message.
    virtual bool run(ScanMode mode, const AdvancedChoice& choice, ScanResults& results) = 0;
    // Sets the parser's stop request; the running step ends at its next check.
    virtual void requestStop() = 0;
    // Where the parser's status, progress and messages go from now on (the page driving it).
    virtual void setSink(platform::UiSink& sink) = 0;

    virtual FileSystemAdapter& adapter() = 0;
};

}  // namespace vdrec::fs
