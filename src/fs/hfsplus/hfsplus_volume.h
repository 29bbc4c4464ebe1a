#pragma once
// The HFS+ parser: reads the volume header, the extents-overflow B-tree and the catalog
// B-tree's leaf chain (or, in deep mode, every catalog leaf node found in the volume's bytes),
// turns every folder and file record into an entry, links them under the root folder and copies
// data forks out with their times. Scanning runs on one worker thread; list texts and saving
// run afterwards, never during a scan.

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/file_map.h"
#include "fs/file_system_adapter.h"
#include "fs/hfsplus/node_search.h"
#include "image/block_device.h"
#include "platform/byte_reader.h"
#include "platform/file_times.h"
#include "platform/ui_sink.h"

namespace vdrec::fs::hfsplus {

inline constexpr int64_t kNoIndex = -1;
inline constexpr uint32_t kRootFolderId = 2;
inline constexpr std::string_view kOrphanFolderName = "ORPHAN_ENTRY";

struct Extent {
    uint64_t startBlock = 0;
    uint64_t blockCount = 0;
};

// A fork as the volume header or a file record gives it: size and its first eight extents.
struct Fork {
    uint64_t logicalSize = 0;
    uint32_t totalBlocks = 0;
    std::vector<Extent> extents;  // the non-empty ones, in file order
};

struct VolumeHeader {
    uint32_t blockBytes = 0;
    uint32_t totalBlocks = 0;
    Fork extentsFile, catalogFile;
};

// Decodes the 512-byte header; nullopt unless the signature is "H+" or "HX" and the block size
// is a power of two of 512 to 4,096.
std::optional<VolumeHeader> decodeVolumeHeader(platform::Bytes bytes);
// The eight extent descriptors at `offset` (start, count pairs), empty ones left out.
std::vector<Extent> decodeExtents(const platform::ByteReader& in, size_t offset);

struct HfsEntry {
    uint32_t nodeId = 0;
    uint32_t parentId = 0;
    bool folder = false;
    uint16_t mode = 0;
    // HFS+ dates as stored (seconds since 1904, UTC), converted when shown or applied: an entry
    // stays small for volumes of millions of files.
    uint32_t createdDate = 0, modifiedDate = 0, accessedDate = 0;
    uint32_t changedDate = 0;  // the record's last change: the newest copy wins in deep mode
    Fork data;
    int64_t firstChild = kNoIndex;
    int64_t lastChild = kNoIndex;
    int64_t nextSibling = kNoIndex;
    uint64_t nameOffset = 0;
    uint32_t nameLength = 0;
};

struct HfsListTexts {
    std::string created, accessed, modified, size, attributes;
};

// Seconds since 1904-01-01 UTC as Unix time.
platform::UnixTime fromHfsDate(uint32_t date);
// The BSD mode's permission bits as the list shows them.
std::string hfsModeText(uint16_t mode);

class HfsPlusVolume {
public:
    explicit HfsPlusVolume(platform::UiSink& sink);

    // The standard scan, in this order; each step but the last two fails on a volume it cannot
    // read.
    void attachVolume(const image::DeviceSlice& volume);
    bool readVolumeHeader();
    bool readExtentsOverflow();
    bool readCatalog();
    void linkEntries();

    // The deep scan, for a volume whose header or catalog file is damaged: attachVolume, then
    // readVolumeHeader (its block size and extents file are used when it reads), then these,
    // then readExtentsOverflow and linkEntries. `volumeBytes` is the volume's extent; false,
    // after "BlockSize not valid .Aborting..", when it holds no node.
    bool scanVolumeForNodes(uint64_t volumeBytes);
    void readFoundCatalogNodes();
    bool deepMode() const { return deepMode_; }
    uint32_t blockBytes() const { return blockBytes_; }
    // Byte positions of the catalog leaf nodes the deep scan read, in volume order.
    const std::vector<uint64_t>& catalogLeaves() const { return catalogLeaves_; }

    std::vector<int64_t> rootLevel() const;
    size_t entryCount() const { return entries_.size(); }
    bool validEntry(int64_t index) const { return index >= 0 && static_cast<uint64_t>(index) < entries_.size(); }
    const HfsEntry& entry(int64_t index) const { return entries_[static_cast<size_t>(index)]; }
    std::string_view name(int64_t index) const;
    void rename(int64_t index, std::string_view name);

    HfsListTexts listTexts(int64_t index) const;
    uint64_t dataSize(int64_t index) const;
    // Ok with `map` filled, or Failed when the entry is no file.
    CopyStatus mapFile(int64_t index, FileMap& map) const;
    CopyResult saveFile(int64_t index, const std::string& destinationPath) const;
    std::optional<std::vector<uint8_t>> readData(int64_t index, size_t maxBytes) const;

    const std::optional<VolumeHeader>& header() const { return header_; }

    std::atomic<bool> stopRequested{false};

private:
    bool stopConsumed() { return stopRequested.exchange(false); }
    bool readBytes(uint64_t offset, std::vector<std::byte>& into, uint64_t bytes) const;
    // `bytes` of a fork from byte `offset` of it; false when the fork does not hold them all.
    bool readFork(const std::vector<Extent>& extents, uint64_t offset, std::vector<std::byte>& into, uint64_t bytes) const;
    // A fork's extents with those the overflow tree holds for `fileId` appended.
    std::vector<Extent> allExtents(uint32_t fileId, const Fork& fork) const;
    // Calls `visit` for each leaf node of the tree in `extents`, following forward links.
    // `leafRecords`, when given, receives the header's count of leaf records before the first visit.
    template <typename Visit>
    bool walkLeaves(const std::vector<Extent>& extents, Visit&& visit, uint64_t* leafRecords = nullptr);
    void readCatalogRecord(platform::Bytes record);
    // Sorts the entries by node ID and keeps one per ID: the first met, or in deep mode the
    // most recently changed.
    void keepOneEntryPerId();
    int64_t indexOf(uint32_t nodeId) const;
    // Deep mode: every entry under its parent folder when that was found, else under the
    // orphan folder; parent loops are cut so every entry is reachable.
    void linkByParent();
    void appendChild(int64_t parent, int64_t child);
    // Deep mode without a readable header: the extents-overflow file taken as contiguous from
    // the header node the scan found, when that lies on a block.
    std::vector<Extent> foundExtentsFile() const;

    platform::UiSink& sink_;
    image::DeviceSlice volume_;
    std::optional<VolumeHeader> header_;
    uint32_t blockBytes_ = 0;
    uint64_t volumeBlocks_ = 0;
    bool deepMode_ = false;
    uint64_t deepVolumeBytes_ = 0;
    FoundNodes found_;
    size_t catalogNodeBytes_ = 0;
    std::vector<uint64_t> catalogLeaves_;
    std::vector<int64_t> deepRootLevel_;
    // Data-fork overflow extents by (file ID, first file block they cover).
    std::map<std::pair<uint32_t, uint64_t>, std::vector<Extent>> overflow_;
    std::vector<HfsEntry> entries_;
    std::string namePool_;
};

}  // namespace vdrec::fs::hfsplus
