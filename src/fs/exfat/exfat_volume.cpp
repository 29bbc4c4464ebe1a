#include "fs/exfat/exfat_volume.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/text_format.h"

namespace vdrec::fs::exfat {

std::optional<uint64_t> ExfatGeometry::clusterOffset(uint64_t cluster) const {
    if (!isDataCluster(cluster) || clusterBytes == 0) return std::nullopt;
    const auto distance = platform::checkedMul(cluster - 2, clusterBytes);
    if (!distance) return std::nullopt;
    return platform::checkedAdd(heapStart, *distance);
}

ExfatVolume::ExfatVolume(platform::UiSink& sink) : sink_(sink) {}

void ExfatVolume::attachVolume(const image::DeviceSlice& volume, uint64_t volumeBytes) {
    volume_ = volume;
    volumeBytes_ = volumeBytes;
}

// The volume ends where both the boot sector and the volume record say it may: a boot sector
// cannot make the parser read (or allocate) past the volume it was found on.
uint64_t ExfatVolume::volumeLimit() const {
    if (boot_ && !advanced_ && boot_->volumeLength != 0 && boot_->volumeLength < (uint64_t{1} << 52)) {
        const uint64_t bootBytes = boot_->volumeLength << boot_->bytesPerSectorShift;
        return volumeBytes_ != 0 ? std::min(bootBytes, volumeBytes_) : bootBytes;
    }
    return volumeBytes_;
}

bool ExfatVolume::checkBootSector() {
    if (!volume_.attached()) return false;
    std::array<std::byte, 512> sector{};
    if (!volume_.readAt(0, sector.data(), sector.size())) {
        sink_.message("cannot read file");
        return false;
    }
    boot_ = decodeExfatBootSector(platform::Bytes(sector.data(), sector.size()));
    const uint64_t backupAt = kBackupBootSector * image::kSectorSize;
    backupBoot_.reset();
    if (volume_.readAt(static_cast<int64_t>(backupAt), sector.data(), sector.size()))
        backupBoot_ = decodeExfatBootSector(platform::Bytes(sector.data(), sector.size()));
    if (!boot_) return false;
    advanced_ = false;
    geometry_.clusterBytes = boot_->clusterBytes();
    geometry_.fatStart = boot_->fatStart();
    geometry_.heapStart = boot_->heapStart();
    // No more clusters than the FAT has entries for and the volume can hold.
    uint64_t clusters = std::min<uint64_t>(boot_->clusterCount, boot_->fatBytes() / 4 > 2 ? boot_->fatBytes() / 4 - 2 : 0);
    const uint64_t limit = volumeLimit();
    clusters = limit > geometry_.heapStart ? std::min(clusters, (limit - geometry_.heapStart) / geometry_.clusterBytes) : 0;
    geometry_.clusterCount = clusters;
    fat_.attach(volume_, fat::FatType::Exfat, geometry_.fatStart, boot_->fatBytes(), clusters + 1);
    return true;
}

void ExfatVolume::clearEntries() {
    entries_.clear();
    visitedClusters_.clear();
}

int64_t ExfatVolume::appendEntry(const EntrySet& set, int64_t parent, uint64_t position) {
    ExfatEntry entry;
    entry.set = set;
    entry.parentIndex = parent;
    entry.position = position;
    entries_.push_back(std::move(entry));
    return static_cast<int64_t>(entries_.size() - 1);
}

void ExfatVolume::appendPlaceholder(std::string_view name) {
    EntrySet set;
    set.attributes = attribute::kDirectory;
    set.name = std::string(name);
    appendEntry(set, 0, 0);
}

std::vector<uint64_t> ExfatVolume::directoryClusters(uint64_t first, bool contiguous, uint64_t dataLength) {
    std::vector<uint64_t> clusters;
    const uint64_t clusterBytes = geometry_.clusterBytes;
    if (clusterBytes == 0 || !geometry_.isDataCluster(first)) return clusters;
    // A directory holds at most 256 MiB of entries.
    const uint64_t cap = std::max<uint64_t>(1, (uint64_t{256} << 20) / clusterBytes);
    auto take = [&](uint64_t cluster) {
        if (!geometry_.isDataCluster(cluster) || !visitedClusters_.insert(cluster).second) return false;
        clusters.push_back(cluster);
        return true;
    };
    if (contiguous || formattedDrive) {
        uint64_t count = dataLength / clusterBytes + (dataLength % clusterBytes != 0);
        count = std::clamp<uint64_t>(count, 1, cap);
        for (uint64_t k = 0; k < count && take(first + k);) ++k;
        return clusters;
    }
    for (std::optional<uint64_t> cluster = first; cluster && clusters.size() < cap; cluster = fat_.next(*cluster))
        if (!take(*cluster)) break;
    return clusters;
}

bool ExfatVolume::readClusters(const std::vector<uint64_t>& clusters, std::vector<std::byte>& into) const {
    const uint64_t clusterBytes = geometry_.clusterBytes;
    into.resize(clusters.size() * clusterBytes);
    size_t k = 0;
    // Consecutive clusters are read in one request.
    while (k < clusters.size()) {
        size_t run = 1;
        while (k + run < clusters.size() && clusters[k + run] == clusters[k] + run && run * clusterBytes < (4u << 20)) ++run;
        const auto offset = geometry_.clusterOffset(clusters[k]);
        if (!offset || *offset > INT64_MAX ||
            !volume_.readAt(static_cast<int64_t>(*offset), into.data() + k * clusterBytes, static_cast<uint32_t>(run * clusterBytes)))
            std::fill(into.begin() + static_cast<ptrdiff_t>(k * clusterBytes),
                      into.begin() + static_cast<ptrdiff_t>((k + run) * clusterBytes), std::byte{0});
        k += run;
    }
    return !clusters.empty();
}

bool ExfatVolume::loadRootDirectory() {
    if (!boot_ || !volume_.attached()) return false;
    const auto offset = geometry_.isDataCluster(boot_->rootCluster) ? geometry_.clusterOffset(boot_->rootCluster) : std::nullopt;
    if (!offset || *offset > INT64_MAX) return false;
    std::byte first[512];
    return volume_.readAt(static_cast<int64_t>(*offset), first, sizeof first);
}

void ExfatVolume::walkRootDirectory() {
    clearEntries();
    advanced_ = false;
    appendPlaceholder(kRootPlaceholderName);
    if (!boot_ || !volume_.attached()) return;
    walkFrom(0, boot_->rootCluster, false, 0);
}

void ExfatVolume::walkFrom(int64_t owner, uint64_t firstCluster, bool contiguous, uint64_t dataLength) {
    struct Pending {
        int64_t owner;
        uint64_t firstCluster;
        bool contiguous;
        uint64_t dataLength;
    };
    // Live folders first, depth first; deleted ones after them all, so that a deleted folder
    // whose clusters were reused cannot claim a live folder's clusters before the live one does.
    std::vector<Pending> live{{owner, firstCluster, contiguous, dataLength}};
    std::vector<Pending> deleted;
    std::vector<std::byte> entries;
    while ((!live.empty() || !deleted.empty()) && !stopRequested) {
        std::vector<Pending>& from = live.empty() ? deleted : live;
        const Pending folder = from.back();
        from.pop_back();
        const std::vector<uint64_t> clusters = directoryClusters(folder.firstCluster, folder.contiguous, folder.dataLength);
        if (!readClusters(clusters, entries)) continue;
        const platform::Bytes stream(entries.data(), entries.size());
        std::vector<Pending> below;
        // One entry stream across all the folder's clusters: a set may straddle a cluster end.
        for (size_t at = 0; at + kEntryBytes <= entries.size();) {
            const auto decoded = decodeEntrySet(stream, at);
            if (!decoded) {
                at += kEntryBytes;
                continue;
            }
            const uint64_t position = *geometry_.clusterOffset(clusters[at / geometry_.clusterBytes]) + at % geometry_.clusterBytes;
            const EntrySet& set = decoded->set;
            const int64_t index = appendEntry(set, folder.owner, position);
            if (set.isFolder()) {
                if (set.deleted) deleted.push_back({index, set.firstCluster, set.contiguous(), set.dataLength});
                else below.push_back({index, set.firstCluster, set.contiguous(), set.dataLength});
            }
            at += decoded->entries * kEntryBytes;
        }
        // Depth first, folders in on-disk order.
        for (auto it = below.rbegin(); it != below.rend(); ++it) live.push_back(*it);
    }
}

std::string_view ExfatVolume::name(int64_t index) const {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return {};
    return entries_[index].set.name;
}

void ExfatVolume::rename(int64_t index, std::string_view newName) {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return;
    entries_[index].set.name = std::string(newName);
}

void ExfatVolume::linkChildren() {
    const size_t count = entries_.size();
    sink_.progressRange(0, 1000);
    int64_t shown = -1;
    for (size_t i = 0; i < count; ++i) {
        const int64_t position = static_cast<int64_t>(i * 1000 / count);
        if (position != shown) sink_.progressPosition(shown = position);
        ExfatEntry& entry = entries_[i];
        entry.firstChild = entry.lastChild = entry.nextSibling = kNoIndex;
    }
    for (size_t i = 0; i < count; ++i) {
        const int64_t parent = entries_[i].parentIndex;
        if (parent < 0 || static_cast<uint64_t>(parent) >= count || static_cast<size_t>(parent) == i) continue;
        ExfatEntry& folder = entries_[parent];
        if (folder.firstChild == kNoIndex) folder.firstChild = static_cast<int64_t>(i);
        else entries_[folder.lastChild].nextSibling = static_cast<int64_t>(i);
        folder.lastChild = static_cast<int64_t>(i);
    }
    sink_.progressPosition(1000);
}

std::vector<int64_t> ExfatVolume::rootLevel() const {
    std::vector<int64_t> level;
    if (entries_.empty()) return level;
    for (int64_t child = entries_[0].firstChild; child != kNoIndex; child = entries_[child].nextSibling) {
        if (name(child) == kRootPlaceholderName && child == 0) continue;
        // The orphan folder shows only when the advanced build put something in it.
        if (isOrphanFolder(child) && entries_[child].firstChild == kNoIndex) continue;
        level.push_back(child);
    }
    return level;
}

}  // namespace vdrec::fs::exfat
