#include "fs/fat/fat_table.h"

#include <algorithm>

namespace vdrec::fs::fat {

void FatTable::attach(const image::DeviceSlice& volume, FatType type, uint64_t offset, uint64_t bytes, uint64_t lastCluster) {
    std::lock_guard guard(lock_);
    volume_ = volume;
    type_ = type;
    offset_ = offset;
    bytes_ = bytes;
    const uint64_t entryBytes = type == FatType::Fat16 ? 2 : 4;
    // A chain cannot name a cluster the table has no entry for.
    lastCluster_ = bytes / entryBytes == 0 ? 0 : std::min(lastCluster, bytes / entryBytes - 1);
    pages_.clear();
}

const std::vector<uint8_t>& FatTable::page(uint64_t index) const {
    auto found = pages_.find(index);
    if (found != pages_.end()) return found->second;
    if (pages_.size() >= kMaxPages) pages_.clear();
    const uint64_t start = index * kPageBytes;
    const uint64_t length = std::min(kPageBytes, bytes_ - start);
    // Whole sectors: the reader reads in 512-byte units.
    std::vector<uint8_t> bytes((length + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize);
    const uint64_t at = offset_ + start;
    if (volume_.attached() && at <= INT64_MAX) volume_.readAt(static_cast<int64_t>(at), bytes.data(), static_cast<uint32_t>(bytes.size()));
    bytes.resize(length);
    return pages_.emplace(index, std::move(bytes)).first->second;
}

std::optional<uint32_t> FatTable::entry(uint64_t cluster) const {
    const uint64_t entryBytes = type_ == FatType::Fat16 ? 2 : 4;
    if (cluster > UINT64_MAX / entryBytes) return std::nullopt;
    const uint64_t at = cluster * entryBytes;
    if (at + entryBytes > bytes_) return std::nullopt;
    std::lock_guard guard(lock_);
    const std::vector<uint8_t>& bytes = page(at / kPageBytes);
    const size_t in = static_cast<size_t>(at % kPageBytes);
    if (in + entryBytes > bytes.size()) return std::nullopt;
    if (type_ == FatType::Fat16) return static_cast<uint32_t>(bytes[in] | (bytes[in + 1] << 8));
    const uint32_t value = uint32_t{bytes[in]} | (uint32_t{bytes[in + 1]} << 8) | (uint32_t{bytes[in + 2]} << 16) |
                           (uint32_t{bytes[in + 3]} << 24);
    // FAT32 reserves the top four bits; exFAT uses all 32.
    return type_ == FatType::Fat32 ? value & 0x0FFFFFFF : value;
}

std::optional<uint64_t> FatTable::next(uint64_t cluster) const {
    if (!isDataCluster(cluster)) return std::nullopt;
    const auto value = entry(cluster);
    if (!value) return std::nullopt;
    // End marks (0xFFF8.., 0x0FFFFFF8..) and the bad mark lie above every data cluster a table
    // of this size can name, so the range test ends chains on them too.
    if (!isDataCluster(*value)) return std::nullopt;
    const uint32_t badMark = type_ == FatType::Fat16 ? 0xFFF7 : type_ == FatType::Fat32 ? 0x0FFFFFF7 : 0xFFFFFFF7;
    if (*value >= badMark) return std::nullopt;
    return *value;
}

}  // namespace vdrec::fs::fat
