#pragma once
// The exFAT parser: binds to one volume, reads its boot sector, walks every directory from the
// root (live and deleted entry sets), links entries to their folders and copies file data out.
// When the boot region is lost it finds the FAT and the cluster heap on the volume and rebuilds
// the tree from the entry sets it finds, lost ones under "ORPHAN ENTRY".
// Scanning runs on one worker thread; list texts and saving run afterwards, never during a scan.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fs/exfat/boot_sector.h"
#include "fs/exfat/entry_set.h"
#include "fs/fat/fat_table.h"
#include "fs/file_map.h"
#include "fs/file_system_adapter.h"
#include "image/block_device.h"
#include "platform/ui_sink.h"

namespace vdrec::fs::exfat {

inline constexpr std::string_view kRootPlaceholderName = "DUMMY ENTRY";
inline constexpr std::string_view kOrphanFolderName = "ORPHAN ENTRY";
inline constexpr int64_t kNoIndex = -1;

// One entry set found by a walk or a scan, linked to its parent's child list.
struct ExfatEntry {
    EntrySet set;
    int64_t parentIndex = 0;
    int64_t firstChild = kNoIndex;
    int64_t lastChild = kNoIndex;  // tail of the child list: linking is one step per entry
    int64_t nextSibling = kNoIndex;
    uint64_t position = 0;         // byte offset of the File entry in the volume
};

struct ExfatListTexts {
    std::string created, accessed, modified, size, attributes;
};

// Where clusters lie: from the boot sector, or from the chosen anchors and cluster shift.
struct ExfatGeometry {
    uint64_t clusterBytes = 0;
    uint64_t fatStart = 0;
    uint64_t heapStart = 0;
    uint64_t clusterCount = 0;  // clusters 2 .. clusterCount + 1

    bool isDataCluster(uint64_t cluster) const { return cluster >= 2 && cluster - 2 < clusterCount; }
    std::optional<uint64_t> clusterOffset(uint64_t cluster) const;
};

class ExfatVolume {
public:
    explicit ExfatVolume(platform::UiSink& sink);

    // Standard mode, in this order.
    // `volumeBytes`: the size the volume list gives it; 0 when unknown.
    void attachVolume(const image::DeviceSlice& volume, uint64_t volumeBytes);
    bool checkBootSector();
    // False when the root folder's first cluster lies outside the heap or cannot be read.
    bool loadRootDirectory();
    void walkRootDirectory();
    void linkChildren();

    // Advanced mode: the two anchor searches, then with a FAT anchor, a heap anchor and a cluster
    // shift the scan for entry sets and the build.
    size_t findFatAnchors(int wantedCount);
    size_t findHeapAnchors(int wantedCount);
    const std::vector<uint64_t>& fatAnchors() const { return fatAnchors_; }
    const std::vector<uint64_t>& heapAnchors() const { return heapAnchors_; }
    // The boot sector's (or its backup's) cluster shift, when one could be read; without either,
    // the shift the heap anchor search inferred from the root's allocation bitmap entry.
    std::optional<int> bootClusterShift() const;
    bool prepareAdvanced(uint64_t fatAnchor, uint64_t heapAnchor, int clusterShift);
    void scanForCandidates();
    void buildFromCandidates();

    // Entries: index 0 is the root placeholder.
    std::vector<int64_t> rootLevel() const;
    size_t entryCount() const { return entries_.size(); }
    const ExfatEntry& entry(size_t index) const { return entries_[index]; }
    bool validEntry(int64_t index) const { return index > 0 && static_cast<uint64_t>(index) < entries_.size(); }
    std::string_view name(int64_t index) const;
    void rename(int64_t index, std::string_view name);
    bool isOrphanFolder(int64_t index) const { return advanced_ && index == 1; }

    ExfatListTexts listTexts(int64_t index) const;
    uint64_t dataSize(int64_t index) const;
    // Ok with `map` filled, or Failed when the entry has no data to copy.
    CopyStatus mapFile(int64_t index, FileMap& map) const;
    CopyResult saveFile(int64_t index, const std::string& destinationPath) const;
    std::optional<std::vector<uint8_t>> readData(int64_t index, size_t maxBytes) const;

    const ExfatGeometry& geometry() const { return geometry_; }
    uint64_t volumeBytes() const { return volumeBytes_; }

    // Set on the recovery-mode page: chains are not followed, files are consecutive clusters.
    bool formattedDrive = false;
    std::atomic<bool> stopRequested{false};

private:
    struct Extent {
        uint64_t offset;  // bytes in the volume
        uint64_t bytes;
    };

    int64_t appendEntry(const EntrySet& set, int64_t parent, uint64_t position);
    void appendPlaceholder(std::string_view name);
    void clearEntries();
    // The clusters of a directory: its FAT chain, or for a contiguous one ceil(length / cluster)
    // consecutive clusters; none already visited, none outside the heap.
    std::vector<uint64_t> directoryClusters(uint64_t first, bool contiguous, uint64_t dataLength);
    // Walks the folder `owner` starting at `firstCluster` (FAT chain unless contiguous), and every
    // folder below it.
    void walkFrom(int64_t owner, uint64_t firstCluster, bool contiguous, uint64_t dataLength);
    // Reads the clusters of a directory as one entry stream.
    bool readClusters(const std::vector<uint64_t>& clusters, std::vector<std::byte>& into) const;
    std::vector<Extent> fileExtents(const EntrySet& set, bool& complete) const;
    uint64_t volumeLimit() const;
    // The largest cluster shift under which the root found after `heapStart` starts a cluster
    // after the up-case table and the clusters its bitmap counts fit in the volume.
    std::optional<int> inferClusterShift(uint64_t heapStart) const;
    void status(std::string_view text) { sink_.status(text); }

    platform::UiSink& sink_;
    image::DeviceSlice volume_;
    uint64_t volumeBytes_ = 0;
    std::optional<ExfatBootSector> boot_;
    std::optional<ExfatBootSector> backupBoot_;
    ExfatGeometry geometry_;
    fat::FatTable fat_;
    std::vector<ExfatEntry> entries_;
    std::unordered_set<uint64_t> visitedClusters_;      // directory clusters already walked

    bool advanced_ = false;
    std::vector<uint64_t> fatAnchors_;
    std::vector<uint64_t> heapAnchors_;
    std::vector<uint64_t> candidates_;     // File entry positions, ascending
    std::optional<uint64_t> labelPosition_;  // the last volume label entry the scan met
    std::optional<int> inferredClusterShift_;
};

}  // namespace vdrec::fs::exfat
