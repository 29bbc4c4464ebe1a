#pragma once
// The NTFS boot sector: the fields the parser uses to size the volume and find the MFT.

#include <cstdint>
#include <optional>

#include "platform/byte_reader.h"

namespace vdrec::fs::ntfs {

inline constexpr uint64_t kAssumedClusterBytes = 4096;
// The largest cluster NTFS formats (2 MiB); anything above is damage.
inline constexpr uint64_t kMaxClusterBytes = 2u * 1024 * 1024;

struct NtfsBootSector {
    bool oemIsNtfs = false;  // "NTFS" at offset 3: the only test of a sound boot sector
    uint16_t bytesPerSector = 0;
    uint8_t sectorsPerCluster = 0;
    uint64_t totalSectors = 0;
    uint64_t mftCluster = 0;

    // bytes per sector x sectors per cluster; a sectors-per-cluster byte above 0x80 is a negative
    // power of two, as formatters write for clusters of 64 KiB and more. 0 when not computable.
    uint64_t clusterBytes() const;
};

// nullopt only when `sector` is shorter than 512 bytes.
std::optional<NtfsBootSector> decodeBootSector(platform::Bytes sector);

// A cluster size the parser can work with: a power of two from 512 bytes to 2 MiB.
bool usableClusterSize(uint64_t bytes);

}  // namespace vdrec::fs::ntfs
