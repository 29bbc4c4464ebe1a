#pragma once

#include <cstdint>
#include <string>

namespace vdrec::volumes {

// One volume found on the disk (or added by hand).
struct VolumeEntry {
    std::string fileSystem;  // as found: "NTFS", "FAT32", "FAT64" (exFAT), "extX", "HFS+", ...
    std::string label;       // the VOLUME column: a decimal number
    std::string sizeText;    // the VOLUME_SIZE column; parsers read the volume size from it
    int64_t startSector = 0; // in 512-byte sectors from the start of the disk
};

}  // namespace vdrec::volumes
