// The standard walk: every directory reachable from the root, depth first, live and deleted
// entries alike. Each directory cluster is read once (the visited set also ends loops).

#include <unordered_map>

#include "fs/fat/fat_volume.h"

namespace vdrec::fs::fat {

namespace {

// Deeper folders are listed but not descended: bounds the memory a crafted volume can claim.
constexpr size_t kMaxDepth = 512;

}  // namespace

struct FatVolume::DirectoryFrame {
    int64_t owner = 0;
    bool fixedRoot = false;  // FAT16's root region: one buffer, no chain
    uint64_t cluster = 0;
    uint64_t bufferOffset = 0;  // volume offset of buffer[0]
    std::vector<std::byte> buffer;
    size_t position = 0;
    // A long name may begin in one cluster and end in the next one of the same directory.
    LongNameRun longName;
    // Folders of this directory by first cluster, to merge slots that name the same folder.
    std::unordered_map<uint64_t, int64_t> folders;
};

bool FatVolume::isAncestor(int64_t candidate, int64_t of) const {
    // Parent links end at the root placeholder; the bound ends any loop.
    for (size_t steps = 0; steps <= kMaxDepth + 2 && of > 0 && static_cast<uint64_t>(of) < entries_.size(); ++steps) {
        if (of == candidate) return true;
        of = entries_[of].parentIndex;
    }
    return of == candidate;
}

std::optional<uint64_t> FatVolume::nextDirectoryCluster(uint64_t cluster) const {
    if (formattedDrive) return std::nullopt;
    return fat_.next(cluster);
}

bool FatVolume::readDirectoryCluster(uint64_t cluster, std::vector<std::byte>& into) {
    const auto offset = geometry_.clusterOffset(cluster);
    if (!offset || !volume_.attached() || *offset > INT64_MAX) return false;
    if (volumeBytes_ != 0 && advanced_ && *offset >= volumeBytes_) return false;
    into.assign(geometry_.clusterBytes, std::byte{0});
    volume_.readAt(static_cast<int64_t>(*offset), into.data(), static_cast<uint32_t>(into.size()));
    return true;
}

std::optional<FatVolume::DirectoryFrame> FatVolume::openDirectory(int64_t owner, uint64_t cluster, bool checkDot) {
    if (!fat_.isDataCluster(cluster) || visitedClusters_.count(cluster)) return std::nullopt;
    visitedClusters_.insert(cluster);
    DirectoryFrame frame;
    frame.owner = owner;
    frame.cluster = cluster;
    frame.bufferOffset = *geometry_.clusterOffset(cluster);
    if (!readDirectoryCluster(cluster, frame.buffer)) return std::nullopt;
    // The one test that a folder's first cluster still holds that folder: its "." slot.
    if (checkDot && (frame.buffer.empty() || frame.buffer[0] != std::byte{'.'})) return std::nullopt;
    return frame;
}

void FatVolume::walkRootDirectory() {
    clearEntries();
    ShortEntry placeholder;
    placeholder.attributes = attribute::kDirectory;
    appendEntry(placeholder, kRootPlaceholderName, false, 0, kNoSlot);
    walkFromRoot();
}

void FatVolume::walkFromRoot() {
    std::vector<DirectoryFrame> stack;
    if (type_ == FatType::Fat16) {
        DirectoryFrame root;
        root.fixedRoot = true;
        root.bufferOffset = geometry_.rootDirOffset;
        root.buffer = rootDirectory_;
        stack.push_back(std::move(root));
    } else if (auto root = openDirectory(0, geometry_.rootCluster, false)) {
        // The root has no "." slot to test.
        stack.push_back(std::move(*root));
    }
    walk(stack);
}

void FatVolume::walkFolder(int64_t index, uint64_t cluster) {
    std::vector<DirectoryFrame> stack;
    if (auto folder = openDirectory(index, cluster, true)) stack.push_back(std::move(*folder));
    walk(stack);
}

void FatVolume::walk(std::vector<DirectoryFrame>& stack) {
    while (!stack.empty()) {
        DirectoryFrame& frame = stack.back();
        if (frame.position + kSlotBytes > frame.buffer.size()) {
            if (!frame.fixedRoot) {
                const auto next = nextDirectoryCluster(frame.cluster);
                if (next && fat_.isDataCluster(*next) && visitedClusters_.insert(*next).second &&
                    readDirectoryCluster(*next, frame.buffer)) {
                    frame.cluster = *next;
                    frame.bufferOffset = *geometry_.clusterOffset(*next);
                    frame.position = 0;
                    continue;
                }
            }
            stack.pop_back();
            continue;
        }
        const size_t position = frame.position;
        frame.position += kSlotBytes;
        handleSlot(frame, platform::Bytes(frame.buffer.data() + position, kSlotBytes), frame.bufferOffset + position, stack);
    }
}

bool FatVolume::handleSlot(DirectoryFrame& frame, platform::Bytes slot, uint64_t slotOffset,
                           std::vector<DirectoryFrame>& stack) {
    const uint8_t first = static_cast<uint8_t>(slot[0]);
    const uint8_t attributes = static_cast<uint8_t>(slot[11]);
    // Entries after a free slot are still read: deleted folders leave them behind.
    if (first == 0x00) {
        frame.longName.reset();
        return false;
    }
    if (isLongNameSlot(attributes)) {
        if (const auto part = decodeLongNameSlot(slot)) frame.longName.add(*part, first == kDeletedMark);
        return false;
    }
    const auto entry = decodeShortEntry(slot);
    if (!entry || entry->isDot() || isLabel(attributes)) {
        frame.longName.reset();
        return false;
    }
    const auto longName = frame.longName.nameFor(*entry);
    frame.longName.reset();
    const std::string name = longName ? *longName : shortNameText(*entry);
    const bool deleted = entry->isDeleted();

    if (!isFolderAttribute(attributes)) {
        appendEntry(*entry, name, deleted, frame.owner, slotOffset);
        return true;
    }
    const uint64_t cluster = entry->firstCluster();
    if (auto adoptable = adoptableFolders_.find(cluster); adoptable != adoptableFolders_.end() && cluster != 0) {
        // A folder the advanced build found on its own, now met in its parent: it moves there.
        if (!isAncestor(adoptable->second, frame.owner)) {
            entries_[adoptable->second].parentIndex = frame.owner;
            frame.folders.emplace(cluster, adoptable->second);
            adoptableFolders_.erase(adoptable);
            return true;
        }
    }
    if (cluster != 0) {
        if (auto earlier = frame.folders.find(cluster); earlier != frame.folders.end()) {
            // Two slots of one directory naming the same folder (a rename leaves the old slot
            // deleted): one entry, named by the later slot unless that one is the deleted leftover.
            FatEntry& kept = entries_[earlier->second];
            if (!deleted || kept.deleted) {
                rename(earlier->second, name);
                kept.deleted = deleted;
                kept.slot = *entry;
                kept.slotOffset = slotOffset;
            }
            return true;
        }
    }
    const int64_t index = appendEntry(*entry, name, deleted, frame.owner, slotOffset);
    if (cluster != 0) frame.folders.emplace(cluster, index);
    if (stack.size() >= kMaxDepth) return true;
    // `frame` may move when the stack grows: nothing of it is used after this.
    if (auto child = openDirectory(index, cluster, true)) stack.push_back(std::move(*child));
    return true;
}

}  // namespace vdrec::fs::fat
