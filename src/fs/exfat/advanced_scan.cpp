// The advanced mode: the FAT and cluster-heap anchor searches, the scan of the heap for entry
// sets and the rebuild of the tree from them.

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

#include "fs/exfat/exfat_volume.h"
#include "platform/text_format.h"

namespace vdrec::fs::exfat {

namespace {

constexpr uint64_t kSearchChunkBytes = 10u * 1024 * 1024;
constexpr uint64_t kScanChunkBytes = 4u * 1024 * 1024;
// The longest set (File, Stream Extension, 17 File Name entries) a chunk may need past its end.
constexpr uint64_t kSetOverlapBytes = 1024;

// FAT entries 0 and 1 of an exFAT FAT: the media descriptor and an end mark.
constexpr std::array<uint8_t, 8> kFatStart = {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace

std::optional<int> ExfatVolume::bootClusterShift() const {
    if (boot_ && boot_->bytesPerSectorShift == 9) return boot_->sectorsPerClusterShift;
    if (backupBoot_ && backupBoot_->bytesPerSectorShift == 9) return backupBoot_->sectorsPerClusterShift;
    return inferredClusterShift_;
}

std::optional<int> ExfatVolume::inferClusterShift(uint64_t heapStart) const {
    // The root holds the allocation bitmap entry (0x81) and the up-case table entry (0x82) among
    // its first entries, after the volume label if there is one; formatters put it near the
    // heap's start, after the bitmap and the up-case table.
    constexpr uint64_t kSearchBytes = 16u << 20;
    const uint64_t limit = volumeLimit();
    if (!volume_.attached() || heapStart >= limit) return std::nullopt;
    const uint64_t bytes = std::min(kSearchBytes, limit - heapStart) / image::kSectorSize * image::kSectorSize;
    std::vector<uint8_t> area(bytes);
    if (bytes == 0 || heapStart > INT64_MAX || !volume_.readAt(static_cast<int64_t>(heapStart), area.data(), static_cast<uint32_t>(bytes)))
        return std::nullopt;
    const platform::ByteReader in(platform::Bytes(reinterpret_cast<const std::byte*>(area.data()), area.size()));
    for (uint64_t sector = 0; sector < bytes; sector += image::kSectorSize) {
        const size_t bitmapAt = in.u8Or0(sector) == entry_type::kVolumeLabel ? sector + kEntryBytes : sector;
        if (in.u8Or0(bitmapAt) != 0x81 || in.u8Or0(bitmapAt + kEntryBytes) != 0x82) continue;
        const uint64_t bitmapBytes = in.le64Or0(bitmapAt + 24);
        const uint64_t upcaseCluster = in.le32Or0(bitmapAt + kEntryBytes + 20);
        const uint64_t upcaseBytes = in.le64Or0(bitmapAt + kEntryBytes + 24);
        if (bitmapBytes == 0 || bitmapBytes > (uint64_t{1} << 29) || upcaseCluster < 2) continue;
        const uint64_t leastClusters = (bitmapBytes - 1) * 8 + 1;
        for (int shift = 16; shift >= 0; --shift) {
            const uint64_t clusterBytes = uint64_t{image::kSectorSize} << shift;
            if (sector % clusterBytes != 0) continue;
            const uint64_t rootCluster = sector / clusterBytes + 2;
            const uint64_t upcaseEnd = upcaseCluster + (upcaseBytes + clusterBytes - 1) / clusterBytes;
            if (rootCluster < upcaseEnd) continue;
            if (leastClusters > (limit - heapStart) / clusterBytes) continue;
            return shift;
        }
    }
    return std::nullopt;
}

size_t ExfatVolume::findFatAnchors(int wantedCount) {
    fatAnchors_.clear();
    if (!volume_.attached() || wantedCount <= 0) return 0;
    const auto found = [&](uint64_t offset) {
        if (std::find(fatAnchors_.begin(), fatAnchors_.end(), offset) == fatAnchors_.end()) fatAnchors_.push_back(offset);
    };
    // An intact backup boot region names the FAT outright.
    if (!boot_ && backupBoot_) found(backupBoot_->fatStart());
    const uint64_t volumeBytes = volumeBytes_;
    sink_.progressRange(0, 1000);
    std::vector<uint8_t> chunk;
    for (uint64_t offset = 0; offset < volumeBytes && !stopRequested; offset += kSearchChunkBytes) {
        const uint64_t bytes = std::min(kSearchChunkBytes, volumeBytes - offset);
        chunk.assign(bytes, 0);
        if (!volume_.readAt(static_cast<int64_t>(offset), chunk.data(), static_cast<uint32_t>(bytes))) continue;
        for (uint64_t at = 0; at + image::kSectorSize <= bytes; at += image::kSectorSize) {
            if (std::memcmp(chunk.data() + at, kFatStart.data(), kFatStart.size()) != 0) continue;
            found(offset + at);
            status(platform::format("found fat entry  %d ", static_cast<int>(fatAnchors_.size())));
            if (fatAnchors_.size() >= static_cast<size_t>(wantedCount)) return fatAnchors_.size();
        }
        sink_.progressPosition(static_cast<int64_t>(offset * 1000 / volumeBytes));
    }
    return fatAnchors_.size();
}

size_t ExfatVolume::findHeapAnchors(int wantedCount) {
    heapAnchors_.clear();
    if (!volume_.attached() || wantedCount <= 0) return 0;
    const auto found = [&](uint64_t offset) {
        if (std::find(heapAnchors_.begin(), heapAnchors_.end(), offset) == heapAnchors_.end()) heapAnchors_.push_back(offset);
    };
    // The search takes a heap to start with a bitmap whose first 64 clusters are in use; the
    // backup boot region, when intact, knows where it starts without that.
    if (!boot_ && backupBoot_) found(backupBoot_->heapStart());
    const uint64_t volumeBytes = volumeBytes_;
    std::vector<uint8_t> chunk;
    for (uint64_t offset = 0; offset < volumeBytes && !stopRequested; offset += kSearchChunkBytes) {
        const uint64_t bytes = std::min(kSearchChunkBytes, volumeBytes - offset);
        chunk.assign(bytes, 0);
        if (!volume_.readAt(static_cast<int64_t>(offset), chunk.data(), static_cast<uint32_t>(bytes))) continue;
        for (uint64_t at = 0; at + image::kSectorSize <= bytes && !stopRequested; at += image::kSectorSize) {
            if (!std::all_of(chunk.begin() + static_cast<ptrdiff_t>(at), chunk.begin() + static_cast<ptrdiff_t>(at + 8),
                             [](uint8_t b) { return b == 0xFF; }))
                continue;
            found(offset + at);
            if (heapAnchors_.size() > static_cast<size_t>(wantedCount)) break;
        }
        if (heapAnchors_.size() > static_cast<size_t>(wantedCount)) break;
    }
    inferredClusterShift_.reset();
    if (!boot_ && !backupBoot_ && !heapAnchors_.empty()) inferredClusterShift_ = inferClusterShift(heapAnchors_.front());
    // A readable boot sector names the heap: its offset replaces the first find.
    if (boot_) {
        if (heapAnchors_.empty()) heapAnchors_.push_back(boot_->heapStart());
        else heapAnchors_[0] = boot_->heapStart();
    }
    return heapAnchors_.size();
}

bool ExfatVolume::prepareAdvanced(uint64_t fatAnchor, uint64_t heapAnchor, int clusterShift) {
    if (!volume_.attached() || clusterShift < 0 || clusterShift > 16 || fatAnchor == 0 || heapAnchor == 0) return false;
    advanced_ = true;
    geometry_.clusterBytes = uint64_t{image::kSectorSize} << clusterShift;
    geometry_.fatStart = fatAnchor;
    geometry_.heapStart = heapAnchor;
    const uint64_t volumeBytes = volumeLimit();
    geometry_.clusterCount = volumeBytes > heapAnchor ? (volumeBytes - heapAnchor) / geometry_.clusterBytes : 0;
    fat_.attach(volume_, fat::FatType::Exfat, fatAnchor, (geometry_.clusterCount + 2) * 4, geometry_.clusterCount + 1);
    return geometry_.clusterCount > 0;
}

void ExfatVolume::scanForCandidates() {
    candidates_.clear();
    labelPosition_.reset();
    if (!volume_.attached() || !advanced_) return;
    const uint64_t clusterBytes = geometry_.clusterBytes;
    const uint64_t heapBytes = geometry_.clusterCount * clusterBytes;
    const uint64_t chunkBytes = std::max(kScanChunkBytes / clusterBytes, uint64_t{1}) * clusterBytes;
    sink_.progressRange(0, 1000);
    std::vector<uint8_t> chunk;
    for (uint64_t offset = 0; offset < heapBytes && !stopRequested; offset += chunkBytes) {
        const uint64_t bytes = std::min(chunkBytes, heapBytes - offset);
        const uint64_t withOverlap = std::min(bytes + kSetOverlapBytes, heapBytes - offset);
        chunk.assign(withOverlap, 0);
        const uint64_t at0 = geometry_.heapStart + offset;
        if (at0 > INT64_MAX || !volume_.readAt(static_cast<int64_t>(at0), chunk.data(), static_cast<uint32_t>(withOverlap)))
            continue;
        const platform::Bytes span(reinterpret_cast<const std::byte*>(chunk.data()), chunk.size());
        for (uint64_t at = 0; at < bytes; at += kEntryBytes) {
            const uint8_t type = chunk[at];
            if (type == entry_type::kVolumeLabel && std::all_of(chunk.begin() + static_cast<ptrdiff_t>(at + 24),
                                                                chunk.begin() + static_cast<ptrdiff_t>(at + 32),
                                                                [](uint8_t b) { return b == 0; })) {
                labelPosition_ = at0 + at;
            } else if (plausibleEntrySet(span, at)) {
                candidates_.push_back(at0 + at);
                status(platform::format("found Entry %d ", static_cast<int>(candidates_.size())));
            }
        }
        sink_.progressPosition(static_cast<int64_t>(offset * 1000 / heapBytes));
    }
}

void ExfatVolume::buildFromCandidates() {
    clearEntries();
    appendPlaceholder(kRootPlaceholderName);
    appendPlaceholder(kOrphanFolderName);
    entries_[1].parentIndex = 0;
    if (!volume_.attached() || !advanced_ || candidates_.empty()) return;
    const uint64_t clusterBytes = geometry_.clusterBytes;
    auto clusterOf = [&](uint64_t position) { return (position - geometry_.heapStart) / clusterBytes + 2; };

    // The root is the folder holding the volume label, else the first set found.
    const uint64_t rootCluster = clusterOf(labelPosition_.value_or(candidates_.front()));
    walkFrom(0, rootCluster, false, 0);

    // Folders found by the scan: their first clusters are reached through them, not as lost ones.
    std::vector<uint8_t> buffer(2 * clusterBytes);
    std::unordered_set<uint64_t> folderClusters;
    auto decodeAt = [&](uint64_t position) -> std::optional<DecodedSet> {
        const uint64_t start = geometry_.heapStart + (clusterOf(position) - 2) * clusterBytes;
        const uint64_t bytes = std::min<uint64_t>(2 * clusterBytes, geometry_.heapStart + geometry_.clusterCount * clusterBytes - start);
        std::fill(buffer.begin(), buffer.end(), 0);
        if (!volume_.readAt(static_cast<int64_t>(start), buffer.data(), static_cast<uint32_t>(bytes))) return std::nullopt;
        return decodeEntrySet(platform::Bytes(reinterpret_cast<const std::byte*>(buffer.data()), buffer.size()),
                              static_cast<size_t>(position - start));
    };
    for (uint64_t position : candidates_) {
        const auto decoded = decodeAt(position);
        if (decoded && decoded->set.isFolder()) folderClusters.insert(decoded->set.firstCluster);
    }
    // Lost sets go under the orphan folder: first those in clusters no found folder starts at,
    // then the rest that no walk reached.
    std::unordered_set<uint64_t> taken;
    for (int pass = 0; pass < 2; ++pass) {
        for (uint64_t position : candidates_) {
            const uint64_t cluster = clusterOf(position);
            if (visitedClusters_.count(cluster) != 0 || (pass == 0 && folderClusters.count(cluster) != 0)) continue;
            if (!taken.insert(position).second) continue;
            const auto decoded = decodeAt(position);
            if (!decoded) continue;
            const int64_t index = appendEntry(decoded->set, 1, position);
            if (decoded->set.isFolder())
                walkFrom(index, decoded->set.firstCluster, decoded->set.contiguous(), decoded->set.dataLength);
        }
    }
}

}  // namespace vdrec::fs::exfat
