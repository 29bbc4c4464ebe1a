#pragma once
// The exFAT boot sector, decoded and checked once.

#include <cstdint>
#include <optional>

#include "platform/byte_reader.h"

namespace vdrec::fs::exfat {

struct ExfatBootSector {
    uint64_t volumeLength = 0;       // sectors
    uint32_t fatOffset = 0;          // sectors
    uint32_t fatLength = 0;          // sectors
    uint32_t clusterHeapOffset = 0;  // sectors
    uint32_t clusterCount = 0;
    uint32_t rootCluster = 0;
    uint8_t bytesPerSectorShift = 0;
    uint8_t sectorsPerClusterShift = 0;

    uint64_t bytesPerSector() const { return uint64_t{1} << bytesPerSectorShift; }
    uint64_t clusterBytes() const { return uint64_t{1} << (bytesPerSectorShift + sectorsPerClusterShift); }
    uint64_t fatStart() const { return uint64_t{fatOffset} << bytesPerSectorShift; }
    uint64_t fatBytes() const { return uint64_t{fatLength} << bytesPerSectorShift; }
    uint64_t heapStart() const { return uint64_t{clusterHeapOffset} << bytesPerSectorShift; }
};

// The backup boot region starts this many sectors after the main one.
inline constexpr uint64_t kBackupBootSector = 12;

// nullopt when the sector does not read "EXFAT" at byte 3 or its shifts are out of range:
// sectors of 512 to 4096 bytes and clusters of at most 32 MiB, as the format allows. Unchecked
// shifts would make every cluster position meaningless (or overflow the shift itself).
std::optional<ExfatBootSector> decodeExfatBootSector(platform::Bytes sector);

}  // namespace vdrec::fs::exfat
