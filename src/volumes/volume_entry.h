#pragma once

#include <cstdint>
#include <string>

namespace vdrec::volumes {

// One volume found on the disk (or added by hand).
struct VolumeEntry {
    std::string fileSystem;  // as found: "NTFS", "FAT32", "FAT64" (exFAT), "extX", "HFS+", ...
    std::string label;       // the VOLUME column: a decimal number
    std::string sizeText;    // the VOLUME_SIZE column, for display only
    int64_t startSector = 0; // in 512-byte sectors from the start of the disk
    uint64_t sectorCount = 0;  // the volume's length in 512-byte sectors; 0 when not known
};

// The volume's length in bytes as the parsers take it: its sector count, or for a volume that
// has none the whole megabytes of its size text (capped at 2^31 - 1 of them); 0 when neither.
uint64_t volumeBytes(const VolumeEntry& volume);

}  // namespace vdrec::volumes
