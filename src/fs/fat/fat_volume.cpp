#include "fs/fat/fat_volume.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/text_format.h"

namespace vdrec::fs::fat {

std::optional<uint64_t> FatGeometry::clusterOffset(uint64_t cluster) const {
    if (cluster < 2 || clusterBytes == 0) return std::nullopt;
    const auto distance = platform::checkedMul(cluster - 2, clusterBytes);
    if (!distance) return std::nullopt;
    return platform::checkedAdd(dataOffset, *distance);
}

FatVolume::FatVolume(FatType type, platform::UiSink& sink) : type_(type), sink_(sink) {}

void FatVolume::attachVolume(const image::DeviceSlice& volume, uint64_t volumeBytes) {
    volume_ = volume;
    volumeBytes_ = volumeBytes;
}

bool FatVolume::checkBootSector() {
    if (!volume_.attached()) return false;
    std::array<std::byte, 512> sector{};
    volume_.readAt(0, sector.data(), sector.size());
    const auto boot = decodeFatBootSector(platform::Bytes(sector.data(), sector.size()));
    if (!boot || boot->type != type_) return false;
    boot_ = boot;
    geometry_.clusterBytes = boot->clusterBytes();
    geometry_.rootDirOffset = boot->rootDirOffset();
    geometry_.rootDirBytes = boot->rootDirBytes();
    geometry_.dataOffset = boot->dataOffset();
    geometry_.rootCluster = boot->rootCluster;
    return true;
}

uint64_t FatVolume::lastClusterOf(uint64_t dataOffset, uint64_t clusterBytes) const {
    uint64_t volumeBytes = volumeBytes_;
    if (boot_ && boot_->totalSectors != 0 && !advanced_) volumeBytes = boot_->totalSectors * boot_->bytesPerSector;
    if (clusterBytes == 0 || volumeBytes <= dataOffset) return 1;
    return (volumeBytes - dataOffset) / clusterBytes + 1;
}

void FatVolume::loadFat() {
    if (!boot_ || !volume_.attached()) return;
    fat_.attach(volume_, type_, boot_->fatOffset(), boot_->fatBytes(),
                lastClusterOf(geometry_.dataOffset, geometry_.clusterBytes));
}

void FatVolume::loadRootDirectory() {
    rootDirectory_.clear();
    if (!boot_ || !volume_.attached() || type_ != FatType::Fat16) return;
    // At most 65535 slots: the field is 16 bits wide.
    rootDirectory_.resize(geometry_.rootDirBytes);
    if (geometry_.rootDirOffset <= INT64_MAX)
        volume_.readAt(static_cast<int64_t>(geometry_.rootDirOffset), rootDirectory_.data(),
                        static_cast<uint32_t>(rootDirectory_.size()));
}

void FatVolume::clearEntries() {
    entries_.clear();
    namePool_.clear();
    visitedClusters_.clear();
    adoptableFolders_.clear();
}

int64_t FatVolume::appendEntry(const ShortEntry& slot, std::string_view name, bool deleted, int64_t parent,
                               uint64_t slotOffset) {
    FatEntry entry;
    entry.slot = slot;
    entry.deleted = deleted;
    entry.parentIndex = parent;
    entry.slotOffset = slotOffset;
    entry.nameOffset = namePool_.size();
    entry.nameLength = static_cast<uint32_t>(name.size());
    namePool_.append(name);
    entries_.push_back(entry);
    return static_cast<int64_t>(entries_.size() - 1);
}

std::string_view FatVolume::name(int64_t index) const {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return {};
    const FatEntry& entry = entries_[index];
    return std::string_view(namePool_).substr(entry.nameOffset, entry.nameLength);
}

void FatVolume::rename(int64_t index, std::string_view newName) {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return;
    entries_[index].nameOffset = namePool_.size();
    entries_[index].nameLength = static_cast<uint32_t>(newName.size());
    namePool_.append(newName);
}

void FatVolume::linkChildren() {
    const size_t count = entries_.size();
    sink_.progressRange(0, 1000);
    int64_t shown = -1;
    for (size_t i = 0; i < count; ++i) {
        const int64_t position = static_cast<int64_t>(i * 1000 / count);
        if (position != shown) sink_.progressPosition(shown = position);
        FatEntry& entry = entries_[i];
        const int64_t parent = entry.parentIndex;
        if (parent < 0 || static_cast<uint64_t>(parent) >= count || static_cast<size_t>(parent) == i) continue;
        FatEntry& folder = entries_[parent];
        if (folder.firstChild == kNoIndex) folder.firstChild = static_cast<int64_t>(i);
        else entries_[folder.lastChild].nextSibling = static_cast<int64_t>(i);
        folder.lastChild = static_cast<int64_t>(i);
    }
    sink_.progressPosition(1000);
}

std::vector<int64_t> FatVolume::rootLevel() const {
    std::vector<int64_t> level;
    if (entries_.empty()) return level;
    // Linked once each, in list order: the chain cannot loop.
    for (int64_t child = entries_[0].firstChild; child != kNoIndex; child = entries_[child].nextSibling) {
        if (name(child) == kRootPlaceholderName) continue;
        // The orphan folder shows only when the advanced build put something in it.
        if (advanced_ && child == 1 && entries_[child].firstChild == kNoIndex) continue;
        level.push_back(child);
    }
    return level;
}

}  // namespace vdrec::fs::fat
