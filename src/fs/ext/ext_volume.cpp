#include "fs/ext/ext_volume.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>

#include "fs/ext/directory_block.h"
#include "platform/text_format.h"

namespace vdrec::fs::ext {

namespace {

constexpr uint64_t kSuperblockStep = 512;
// Inode tables are read in pieces of at most this size: large enough that reads are few,
// small enough that the buffer costs few fresh pages.
constexpr uint64_t kTableChunkBytes = 1024 * 1024;
constexpr uint32_t kIndexedDirectory = 0x1000;

uint64_t roundToSectors(uint64_t bytes) {
    return (bytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize;
}

}  // namespace

ExtVolume::ExtVolume(platform::UiSink& sink) : sink_(sink) {}

void ExtVolume::attachVolume(const image::DeviceSlice& volume, uint64_t volumeBytes) {
    volume_ = volume;
    volumeBytes_ = volumeBytes;
}

bool ExtVolume::stopConsumed() { return stopRequested.exchange(false); }

bool ExtVolume::readBytes(uint64_t offset, std::vector<std::byte>& into, uint64_t bytes) const {
    if (!volume_.attached() || offset > INT64_MAX || bytes > UINT32_MAX) return false;
    // Not cleared: a failed read is never used, and a successful one fills the buffer.
    into.resize(static_cast<size_t>(roundToSectors(bytes)));
    const bool read = volume_.readAt(static_cast<int64_t>(offset), into.data(), static_cast<uint32_t>(into.size()));
    into.resize(static_cast<size_t>(bytes));
    return read;
}

bool ExtVolume::readBlock(uint64_t block, std::vector<std::byte>& into) const {
    if (!superblock_ || block >= volumeBlocks_) return false;
    return readBytes(block * superblock_->blockBytes, into, superblock_->blockBytes);
}

bool ExtVolume::findSuperblock() {
    superblock_.reset();
    std::vector<std::byte> bytes;
    for (uint64_t offset = kSuperblockBytes; offset + kSuperblockBytes < volumeBytes_; offset += kSuperblockStep) {
        if (stopConsumed()) return false;
        if (!readBytes(offset, bytes, kSuperblockBytes)) continue;
        if (auto found = decodeSuperblock(platform::Bytes(bytes.data(), bytes.size()))) {
            superblock_ = found;
            superblockOffset_ = offset;
            // Blocks past the volume's end hold nothing of it.
            volumeBlocks_ = std::min(found->blocksCount, volumeBytes_ / found->blockBytes);
            return true;
        }
    }
    return false;
}

bool ExtVolume::loadGroupDescriptors() {
    groups_.clear();
    if (!superblock_) return false;
    const Superblock& sb = *superblock_;
    const uint64_t count = sb.groupCount();
    const uint64_t at = sb.blockBytes * (superblockOffset_ / sb.blockBytes + 1);
    // The table cannot be larger than the volume that holds it.
    if (count > volumeBytes_ / sb.descriptorBytes || at >= volumeBytes_) return false;
    std::vector<std::byte> table;
    if (!readBytes(at, table, count * sb.descriptorBytes)) return false;
    groups_ = decodeGroupDescriptors(platform::Bytes(table.data(), table.size()), sb, count);
    return groups_.size() == count;
}

uint64_t ExtVolume::usableSlots(uint64_t group) const {
    const GroupDescriptor& descriptor = groups_[group];
    const uint64_t perGroup = superblock_->inodesPerGroup;
    if (descriptor.inodesUninitialised) return 0;
    return descriptor.unusedInodes < perGroup ? perGroup - descriptor.unusedInodes : 0;
}

void ExtVolume::readInodeTables() {
    slots_.clear();
    directories_.clear();
    if (!superblock_) return;
    const Superblock& sb = *superblock_;
    const auto groupCount = static_cast<int64_t>(groups_.size());
    sink_.progressRange(0, groupCount);
    // Every slot the groups offer may hold an inode in use or a removed one, so their sum sizes
    // the table without regrowth. Every inode takes at least 128 bytes of the volume, which caps
    // the reservation.
    uint64_t offered = 0;
    for (uint64_t g = 0; g < groups_.size(); ++g) offered += usableSlots(g);
    slots_.reserve(std::min({offered, uint64_t{sb.inodesCount}, volumeBytes_ / 128}));
    std::vector<std::byte> table;
    for (uint64_t g = 0; g < groups_.size(); ++g) {
        status(platform::format("parsing group %lld  of %lld ", static_cast<long long>(g + 1), static_cast<long long>(groupCount)));
        sink_.progressPosition(static_cast<int64_t>(g + 1));
        if (stopConsumed()) return;
        const uint64_t firstInode = g * sb.inodesPerGroup + 1;
        const uint64_t slots = std::min(usableSlots(g), sb.inodesCount >= firstInode ? sb.inodesCount - firstInode + 1 : 0);
        if (slots == 0 || groups_[g].inodeTable >= volumeBlocks_) continue;
        const uint64_t tableOffset = groups_[g].inodeTable * sb.blockBytes;
        const uint64_t slotsPerChunk = kTableChunkBytes / sb.inodeBytes;
        for (uint64_t first = 0; first < slots; first += slotsPerChunk) {
            const uint64_t count = std::min(slotsPerChunk, slots - first);
            if (!readBytes(tableOffset + first * sb.inodeBytes, table, count * sb.inodeBytes)) break;
            for (uint64_t k = 0; k < count; ++k) {
                const auto bytes = platform::Bytes(table.data() + k * sb.inodeBytes, static_cast<size_t>(sb.inodeBytes));
                const auto inode = decodeInode(bytes);
                if (!inode || inode->mode == 0) continue;
                const auto number = static_cast<uint32_t>(firstInode + first + k);
                slots_.push_back({number, inode->mode, inode->links, inode->size, inode->accessed, inode->changed, inode->modified});
                // A directory still linked is read; a removed one has lost or freed its blocks.
                if (inode->isDirectory() && inode->links != 0 && inode->deletionTime == 0)
                    directories_.emplace_back(number, *inode);
            }
        }
    }
}

const ExtVolume::InodeSlot* ExtVolume::slotAfter(uint32_t inode, const InodeSlot* previous) const {
    // A folder's names mostly name inodes made one after another: try the next slot first.
    if (previous != nullptr && previous + 1 < slots_.data() + slots_.size() && previous[1].inode == inode) return previous + 1;
    return slot(inode);
}

const ExtVolume::InodeSlot* ExtVolume::slot(uint32_t inode) const {
    const auto it = std::lower_bound(slots_.begin(), slots_.end(), inode,
                                     [](const InodeSlot& s, uint32_t value) { return s.inode < value; });
    return it != slots_.end() && it->inode == inode ? &*it : nullptr;
}

MapLimits ExtVolume::limitsFor(uint64_t size) const {
    const uint64_t blockBytes = superblock_->blockBytes;
    const uint64_t blocks = size / blockBytes + (size % blockBytes != 0 ? 1 : 0);
    return {blockBytes, volumeBlocks_, blocks};
}

void ExtVolume::readDirectory(uint32_t inode, const Inode& record) {
    // Its block field holds entries, not block numbers.
    if (record.hasInlineData()) return readInlineDirectory(inode, record);
    const Superblock& sb = *superblock_;
    // A directory cannot be larger than the volume's blocks.
    const uint64_t size = std::min(record.size, volumeBlocks_ * sb.blockBytes);
    const BlockReader read = [this](uint64_t block, std::vector<std::byte>& into) { return readBlock(block, into); };
    const BlockMap map = mapBlocks(record, limitsFor(size), read);
    DirectoryBlockRules rules{sb.fileTypeInEntries, sb.inodesCount, true};
    const bool indexed = (record.flags & kIndexedDirectory) != 0;
    std::vector<std::byte> block;
    for (const BlockRun& run : map.runs) {
        if (run.unwritten) continue;
        for (uint64_t k = 0; k < run.count; ++k) {
            // Blocks claimed by two folders (damage) are read for the first only.
            if (!directoryBlocks_.insert(run.physical + k).second || !readBlock(run.physical + k, block)) continue;
            const platform::ByteReader in(platform::Bytes(block.data(), block.size()));
            // Hash-index blocks: the first block past "..", and interior nodes (one empty entry
            // spanning the block); their gaps hold index data, not removed names.
            const bool indexNode = in.le32Or0(0) == 0 && in.le16Or0(4) == sb.blockBytes;
            rules.scanGaps = !(indexed && (run.logical + k == 0 || indexNode));
            for (DirectoryEntry& entry : parseDirectoryBlock(platform::Bytes(block.data(), block.size()), rules)) {
                if (entry.name == "." || entry.name == "..") continue;
                const size_t at = namePool_.size();
                appendNameText(namePool_, entry.name);
                names_.push_back({inode, entry.inode, entry.fileType, entry.removed, at, static_cast<uint32_t>(namePool_.size() - at)});
            }
        }
    }
}

void ExtVolume::readDirectories() {
    names_.clear();
    namePool_.clear();
    directoryBlocks_.clear();
    if (!superblock_) return;
    // Most used inodes carry one name, and names take less room than the folders holding them:
    // room for that many spares regrowth (the pool's room costs memory only where it is used).
    names_.reserve(slots_.size());
    uint64_t folderBytes = 0;
    for (const auto& [inode, record] : directories_) folderBytes += std::min(record.size, volumeBytes_);
    namePool_.reserve(static_cast<size_t>(std::min(folderBytes, volumeBytes_)));
    const Superblock& sb = *superblock_;
    const auto records = static_cast<long long>(sb.inodesCount);
    sink_.progressRange(0, records);
    uint64_t shownGroup = UINT64_MAX;
    for (const auto& [inode, record] : directories_) {
        const uint64_t group = (inode - 1) / sb.inodesPerGroup;
        if (group != shownGroup) {
            shownGroup = group;
            const auto first = static_cast<long long>(group * sb.inodesPerGroup + 1);
            status(platform::format("parsing inode entry %lld  of %lld ", first, records));
            sink_.progressPosition(first);
            if (stopConsumed()) return;
        }
        readDirectory(inode, record);
    }
    directoryBlocks_.clear();
    status(platform::format("parsed inode entry %lld  of %lld ", records, records));
    sink_.progressPosition(records);
    directories_.clear();
    directories_.shrink_to_fit();
}

void ExtVolume::keepNamedRecords() {
    status("clearing vector....");
    entries_.clear();
    entries_.reserve(names_.size() + 1);
    ExtEntry root;
    root.inode = kRootInode;
    root.mode = kTypeDirectory;
    if (const InodeSlot* s = slot(kRootInode)) {
        root.accessed = s->accessed;
        root.changed = s->changed;
        root.modified = s->modified;
    }
    entries_.push_back(root);
    const std::string rootName = "ROOT";
    // "ROOT" is entry 0: its name lives at the pool's end.
    entries_[0].nameOffset = namePool_.size();
    entries_[0].nameLength = static_cast<uint32_t>(rootName.size());
    namePool_ += rootName;

    // A live inode gets one entry, from the last live name that names it (a hard link shows
    // under the folder read last); removed names give entries of their own unless the inode
    // is named live. Per-inode facts are kept by position in the sorted slot table.
    constexpr uint32_t kNoSlot = UINT32_MAX;
    std::vector<uint32_t> slotOfName(names_.size(), kNoSlot);
    std::vector<size_t> liveName(slots_.size(), SIZE_MAX);
    const InodeSlot* previous = nullptr;
    for (size_t k = 0; k < names_.size(); ++k) {
        const Name& name = names_[k];
        if (name.inode == kRootInode) continue;
        const InodeSlot* s = slotAfter(name.inode, previous);
        if (s == nullptr) continue;
        previous = s;
        const auto position = static_cast<uint32_t>(s - slots_.data());
        slotOfName[k] = position;
        if (!name.removed && s->links != 0) liveName[position] = k;
    }
    std::vector<int64_t> entryOfSlot(slots_.size(), kNoIndex);
    auto addEntry = [&](const Name& name, const InodeSlot* s) {
        ExtEntry e;
        e.inode = name.inode;
        e.removed = name.removed;
        e.nameOffset = name.nameOffset;
        e.nameLength = name.nameLength;
        if (s != nullptr) {
            e.mode = s->mode;
            e.size = s->size;
            e.accessed = s->accessed;
            e.changed = s->changed;
            e.modified = s->modified;
        }
        // A removed name whose inode is gone or reused for another type: the entry's own type.
        if (name.removed && (s == nullptr || s->links != 0 || (s->mode & kTypeMask) == 0))
            e.mode = name.fileType == 2 ? kTypeDirectory : name.fileType == 1 || name.fileType == 0 ? kTypeRegular : 0;
        if (name.removed && (s == nullptr || s->links != 0)) e.size = 0;
        // The folder's inode number until every entry exists; resolved to its entry below.
        e.parent = name.directory;
        entries_.push_back(e);
        return static_cast<int64_t>(entries_.size() - 1);
    };
    for (size_t k = 0; k < names_.size(); ++k) {
        const Name& name = names_[k];
        if (name.inode == kRootInode) continue;
        const uint32_t position = slotOfName[k];
        const InodeSlot* s = position != kNoSlot ? &slots_[position] : nullptr;
        const bool namedLive = s != nullptr && liveName[position] != SIZE_MAX;
        if (name.removed) {
            if (!namedLive) addEntry(name, s);
            continue;
        }
        if (namedLive && liveName[position] == k) entryOfSlot[position] = addEntry(name, s);
    }
    // Entries of one folder follow each other: its entry is looked up once per run.
    uint32_t lastDirectory = 0;
    int64_t lastParent = kNoIndex;
    for (size_t k = 1; k < entries_.size(); ++k) {
        ExtEntry& e = entries_[k];
        const auto directory = static_cast<uint32_t>(e.parent);
        if (directory == kRootInode) {
            e.parent = 0;
            continue;
        }
        if (directory != lastDirectory) {
            const InodeSlot* s = slot(directory);
            lastDirectory = directory;
            lastParent = s != nullptr ? entryOfSlot[static_cast<size_t>(s - slots_.data())] : kNoIndex;
        }
        e.parent = lastParent;
    }
    names_.clear();
    names_.shrink_to_fit();
    slots_.clear();
    slots_.shrink_to_fit();
}

void ExtVolume::linkRecords() {
    status("Maintaining Parent Child....");
    const auto count = static_cast<int64_t>(entries_.size());
    sink_.progressRange(0, count);
    for (int64_t k = 1; k < count; ++k) {
        if ((k & 0xFFF) == 0) {
            status(platform::format("Maintaining Parent Child for record %lld of %lld....", static_cast<long long>(k),
                                    static_cast<long long>(count)));
            sink_.progressPosition(k + 1);
            if (stopConsumed()) return;
        }
        ExtEntry& child = entries_[static_cast<size_t>(k)];
        // Only folders and files are shown (devices, pipes and sockets are not); only folders
        // take children, and an entry is never its own parent.
        if (!(child.isFolder() || child.isFile())) continue;
        if (child.parent < 0 || child.parent == k || !entries_[static_cast<size_t>(child.parent)].isFolder()) continue;
        ExtEntry& parent = entries_[static_cast<size_t>(child.parent)];
        if (parent.lastChild == kNoIndex) parent.firstChild = k;
        else entries_[static_cast<size_t>(parent.lastChild)].nextSibling = k;
        parent.lastChild = k;
    }
    sink_.progressPosition(count);
}

std::vector<int64_t> ExtVolume::rootLevel() const {
    std::vector<int64_t> level;
    if (entries_.empty()) return level;
    // At most one step per entry: the chain was built here, but stays bounded all the same.
    size_t steps = 0;
    for (int64_t k = entries_[0].firstChild; k != kNoIndex && steps < entries_.size(); k = entries_[static_cast<size_t>(k)].nextSibling, ++steps)
        if (entries_[static_cast<size_t>(k)].isFolder() || entries_[static_cast<size_t>(k)].isFile()) level.push_back(k);
    return level;
}

std::string_view ExtVolume::name(int64_t index) const {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return {};
    const ExtEntry& e = entries_[static_cast<size_t>(index)];
    return std::string_view(namePool_).substr(static_cast<size_t>(e.nameOffset), e.nameLength);
}

void ExtVolume::rename(int64_t index, std::string_view name) {
    if (!validEntry(index)) return;
    ExtEntry& e = entries_[static_cast<size_t>(index)];
    e.nameOffset = namePool_.size();
    e.nameLength = static_cast<uint32_t>(name.size());
    namePool_ += name;
}

}  // namespace vdrec::fs::ext
