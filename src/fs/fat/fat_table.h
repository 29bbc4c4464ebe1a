#pragma once
// The file allocation table: cluster chains read from one FAT copy on the volume. Entries are
// fetched in pages and kept, so walking a chain costs memory reads, not a disk read per step.
// Lookups may come from several saving threads at once.

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "fs/fat/fat_boot_sector.h"
#include "image/block_device.h"

namespace vdrec::fs::fat {

class FatTable {
public:
    FatTable() = default;
    // `offset`: the FAT copy's first byte in the volume; `bytes`: its length. Clusters 2 to
    // `lastCluster` are the volume's; anything else in a chain ends it.
    void attach(const image::DeviceSlice& volume, FatType type, uint64_t offset, uint64_t bytes, uint64_t lastCluster);

    // The raw entry of `cluster` (FAT32: the low 28 bits); nullopt when outside the table.
    std::optional<uint32_t> entry(uint64_t cluster) const;
    // The cluster after `cluster`, or nullopt at an end mark, a free, bad or reserved entry,
    // or a value outside the volume.
    std::optional<uint64_t> next(uint64_t cluster) const;
    bool isFree(uint64_t cluster) const { return entry(cluster).value_or(1) == 0; }

    bool isDataCluster(uint64_t cluster) const { return cluster >= 2 && cluster <= lastCluster_; }
    uint64_t lastCluster() const { return lastCluster_; }
    FatType type() const { return type_; }

private:
    static constexpr uint64_t kPageBytes = 64 * 1024;
    // Past this many cached pages the cache starts over: bounded memory on huge volumes.
    static constexpr size_t kMaxPages = 4096;

    const std::vector<uint8_t>& page(uint64_t index) const;

    image::DeviceSlice volume_;
    FatType type_ = FatType::Fat16;
    uint64_t offset_ = 0;
    uint64_t bytes_ = 0;
    uint64_t lastCluster_ = 0;
    mutable std::mutex lock_;
    mutable std::unordered_map<uint64_t, std::vector<uint8_t>> pages_;
};

}  // namespace vdrec::fs::fat
