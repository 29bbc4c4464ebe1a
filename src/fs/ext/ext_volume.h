#pragma once
// The ext2/3/4 parser: finds a superblock, reads the group descriptors and inode tables, reads
// every directory to name inodes (live entries, and removed ones left in directory-block gaps),
// links them under "ROOT" and copies file data out with holes and times. Scanning runs on one
// worker thread; list texts and saving run afterwards, never during a scan.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fs/ext/block_map.h"
#include "fs/ext/inode.h"
#include "fs/ext/superblock.h"
#include "fs/file_map.h"
#include "fs/file_system_adapter.h"
#include "image/block_device.h"
#include "platform/bulk_allocator.h"
#include "platform/ui_sink.h"

namespace vdrec::fs::ext {

inline constexpr int64_t kNoIndex = -1;
inline constexpr uint32_t kRootInode = 2;

// One named entry. Entry 0 is "ROOT", the root directory itself.
struct ExtEntry {
    uint32_t inode = 0;
    uint16_t mode = 0;
    uint64_t size = 0;
    platform::UnixTime accessed, changed, modified;
    bool removed = false;  // named only by an entry found in a directory-block gap
    int64_t parent = kNoIndex;
    int64_t firstChild = kNoIndex;
    int64_t lastChild = kNoIndex;
    int64_t nextSibling = kNoIndex;
    uint64_t nameOffset = 0;
    uint32_t nameLength = 0;

    bool isFolder() const { return (mode & kTypeMask) == kTypeDirectory; }
    bool isFile() const { return (mode & kTypeMask) == kTypeRegular || (mode & kTypeMask) == kTypeSymlink; }
};

struct ExtListTexts {
    std::string created, accessed, modified, size, attributes;
};

class ExtVolume {
public:
    explicit ExtVolume(platform::UiSink& sink);

    // The scan, in this order.
    // `volumeBytes`: the size the volume list gives it; 0 when unknown.
    void attachVolume(const image::DeviceSlice& volume, uint64_t volumeBytes);
    uint64_t volumeBytes() const { return volumeBytes_; }
    bool findSuperblock();
    bool loadGroupDescriptors();
    void readInodeTables();
    void readDirectories();
    void keepNamedRecords();
    void linkRecords();

    std::vector<int64_t> rootLevel() const;
    size_t entryCount() const { return entries_.size(); }
    bool validEntry(int64_t index) const { return index > 0 && static_cast<uint64_t>(index) < entries_.size(); }
    const ExtEntry& entry(int64_t index) const { return entries_[static_cast<size_t>(index)]; }
    std::string_view name(int64_t index) const;
    void rename(int64_t index, std::string_view name);

    ExtListTexts listTexts(int64_t index) const;
    // The list texts written into `texts`' buffers; the size text only `withSize`.
    void fillListTexts(int64_t index, ListTexts& texts, bool withSize) const;
    uint64_t dataSize(int64_t index) const;
    // Ok with `map` filled, or why there is nothing to copy (NoData: a removed file of which
    // nothing survives).
    CopyStatus mapFile(int64_t index, FileMap& map) const;
    CopyResult saveFile(int64_t index, const std::string& destinationPath) const;
    std::optional<std::vector<uint8_t>> readData(int64_t index, size_t maxBytes) const;

    const std::optional<Superblock>& superblock() const { return superblock_; }
    uint64_t superblockOffset() const { return superblockOffset_; }

    std::atomic<bool> stopRequested{false};

private:
    // A used inode slot, as the inode table pass saw it.
    struct InodeSlot {
        uint32_t inode;
        uint16_t mode;
        uint16_t links;
        uint64_t size;
        platform::UnixTime accessed, changed, modified;
    };
    struct Name {
        uint32_t directory;
        uint32_t inode;
        uint8_t fileType;
        bool removed;
        uint64_t nameOffset;
        uint32_t nameLength;
    };

    bool stopConsumed();
    bool readBytes(uint64_t offset, std::vector<std::byte>& into, uint64_t bytes) const;
    bool readBlock(uint64_t block, std::vector<std::byte>& into) const;
    std::optional<Inode> readInode(uint32_t inode) const;
    // Slots of group `g` that can hold inodes: none in an uninitialised group, none past the
    // unused count.
    uint64_t usableSlots(uint64_t group) const;
    MapLimits limitsFor(uint64_t size) const;
    // A removed file's runs without the blocks the volume has given to others since.
    BlockMap unclaimedPart(const BlockMap& map) const;
    void readDirectory(uint32_t inode, const Inode& record);
    // A folder whose entries live in its inode (inline data).
    void readInlineDirectory(uint32_t inode, const Inode& record);
    const InodeSlot* slot(uint32_t inode) const;
    // The same, trying first the slot after `previous` (nullptr: none).
    const InodeSlot* slotAfter(uint32_t inode, const InodeSlot* previous) const;
    void status(std::string_view text) { sink_.status(text); }

    platform::UiSink& sink_;
    image::DeviceSlice volume_;
    uint64_t volumeBytes_ = 0;
    std::optional<Superblock> superblock_;
    uint64_t superblockOffset_ = 0;
    std::vector<GroupDescriptor> groups_;
    uint64_t volumeBlocks_ = 0;  // blocks a read may name: the superblock's count within the volume

    platform::BulkVector<InodeSlot> slots_;  // used inodes, ascending
    std::vector<std::pair<uint32_t, Inode>> directories_;
    std::unordered_set<uint64_t> directoryBlocks_;  // each block is parsed once, for one folder
    platform::BulkVector<Name> names_;
    platform::BulkString namePool_;
    platform::BulkVector<ExtEntry> entries_;
};

}  // namespace vdrec::fs::ext
