#pragma once
// The FAT16 and FAT32 parser: binds to one volume, reads its boot sector, walks every directory
// from the root (live and deleted entries, long names), links entries to their folders and
// copies file data out. When the boot sector is lost it finds FAT copies on the volume and
// rebuilds the tree from one the user picks, with entries found elsewhere under "ORPHAN ENTRY".
// Scanning runs on one worker thread; list texts and saving run afterwards (saving possibly on
// several threads), never during a scan.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "fs/fat/directory_entry.h"
#include "fs/fat/fat_boot_sector.h"
#include "fs/fat/fat_entry.h"
#include "fs/fat/fat_table.h"
#include "fs/file_map.h"
#include "fs/file_system_adapter.h"
#include "image/block_device.h"
#include "platform/ui_sink.h"

namespace vdrec::fs::fat {

inline constexpr std::string_view kRootPlaceholderName = "DUMMY ENTRY";
inline constexpr std::string_view kOrphanFolderName = "ORPHAN ENTRY";

// Where clusters lie. From the boot sector in the standard mode; from the chosen anchor and
// cluster size in the advanced mode.
struct FatGeometry {
    uint64_t clusterBytes = 0;
    uint64_t dataOffset = 0;     // cluster 2
    uint64_t rootDirOffset = 0;  // FAT16: the fixed root directory
    uint64_t rootDirBytes = 0;   // FAT16; 0 on FAT32
    uint64_t rootCluster = 0;    // FAT32

    std::optional<uint64_t> clusterOffset(uint64_t cluster) const;
};

// A FAT copy found by the anchor search.
struct FatAnchor {
    std::string text;     // "FAT_ENTRY:<position>" or "FAT32_ENTRY:<position>"
    uint64_t offset = 0;  // bytes from the volume start
};

struct FatListTexts {
    std::string created, accessed, modified, size, attributes;
};

class FatVolume {
public:
    FatVolume(FatType type, platform::UiSink& sink);

    // Standard mode, in this order.
    // `volumeBytes`: the size the volume list gives it; 0 when unknown.
    void attachVolume(const image::DeviceSlice& volume, uint64_t volumeBytes);
    bool checkBootSector();
    void loadFat();
    void loadRootDirectory();
    void walkRootDirectory();
    void linkChildren();

    // Advanced mode: the anchor search, then with one anchor and a cluster size the scan for
    // directory entries and the build.
    size_t findFatAnchors(int wantedCount);
    const std::vector<FatAnchor>& anchors() const { return anchors_; }
    // The boot sector's sectors per cluster when it was read and is even and not 0.
    std::optional<int> bootSectorsPerCluster() const;
    bool prepareAdvanced(size_t anchorIndex, int sectorsPerCluster);
    void scanForCandidates();
    void buildFromCandidates();

    // Entries: index 0 is the root placeholder; the folders and files under the volume's top item.
    std::vector<int64_t> rootLevel() const;
    size_t entryCount() const { return entries_.size(); }
    const FatEntry& entry(size_t index) const { return entries_[index]; }
    bool validEntry(int64_t index) const { return index > 0 && static_cast<uint64_t>(index) < entries_.size(); }
    std::string_view name(int64_t index) const;
    void rename(int64_t index, std::string_view name);

    FatListTexts listTexts(int64_t index) const;
    uint64_t dataSize(int64_t index) const;
    // Ok with `map` filled, or Failed when the entry has no data to copy.
    CopyStatus mapFile(int64_t index, FileMap& map) const;
    CopyResult saveFile(int64_t index, const std::string& destinationPath) const;
    std::optional<std::vector<uint8_t>> readData(int64_t index, size_t maxBytes) const;

    FatType type() const { return type_; }
    const FatGeometry& geometry() const { return geometry_; }
    const FatTable& fat() const { return fat_; }
    uint64_t volumeBytes() const { return volumeBytes_; }

    // Set on the recovery-mode page: chains are not followed, files are consecutive clusters.
    bool formattedDrive = false;
    std::atomic<bool> stopRequested{false};

private:
    struct DirectoryFrame;
    struct Extent {
        uint64_t offset;  // bytes in the volume
        uint64_t bytes;
    };

    int64_t appendEntry(const ShortEntry& slot, std::string_view name, bool deleted, int64_t parent, uint64_t slotOffset);
    void clearEntries();
    void walkFromRoot();
    // Walks the folder `index` whose first cluster is `cluster`, and everything below it.
    void walkFolder(int64_t index, uint64_t cluster);
    // Walks the directory tree below the frames on `stack`, depth first.
    void walk(std::vector<DirectoryFrame>& stack);
    bool handleSlot(DirectoryFrame& frame, platform::Bytes slot, uint64_t slotOffset, std::vector<DirectoryFrame>& stack);
    // A frame for the directory starting at `cluster`, or nullopt when it is not one to descend.
    std::optional<DirectoryFrame> openDirectory(int64_t owner, uint64_t cluster, bool checkDot);
    bool readDirectoryCluster(uint64_t cluster, std::vector<std::byte>& into);
    std::optional<uint64_t> nextDirectoryCluster(uint64_t cluster) const;
    // Where a file's data lies, and whether that covers its whole size.
    std::vector<Extent> fileExtents(const FatEntry& entry, bool& complete) const;
    uint64_t lastClusterOf(uint64_t dataOffset, uint64_t clusterBytes) const;
    bool isAncestor(int64_t candidate, int64_t of) const;
    bool slotIsCandidate(platform::Bytes slot, uint64_t lastCluster) const;
    void status(std::string_view text) { sink_.status(text); }

    FatType type_;
    platform::UiSink& sink_;
    image::DeviceSlice volume_;
    uint64_t volumeBytes_ = 0;
    std::optional<FatBootSector> boot_;
    FatGeometry geometry_;
    FatTable fat_;
    std::vector<std::byte> rootDirectory_;  // FAT16's fixed root
    std::vector<FatEntry> entries_;
    std::string namePool_;
    std::unordered_set<uint64_t> visitedClusters_;  // directory clusters already walked

    std::vector<FatAnchor> anchors_;
    bool advanced_ = false;
    std::vector<uint64_t> candidates_;  // slot offsets, ascending
    std::vector<std::array<std::byte, kSlotBytes>> candidateSlots_;
    // Folders the build put under "ORPHAN ENTRY", by first cluster: a later walk that meets
    // their slot takes them in.
    std::unordered_map<uint64_t, int64_t> adoptableFolders_;
};

}  // namespace vdrec::fs::fat
