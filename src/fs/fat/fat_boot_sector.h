#pragma once
// The FAT16/FAT32 boot sector's BIOS parameter block, decoded and checked once. The OEM name is
// free text (mkfs.fat, "MSWIN4.1", "MSDOS5.0", ...) and is never trusted to tell the format.

#include <cstdint>
#include <optional>

#include "platform/byte_reader.h"

namespace vdrec::fs::fat {

// Exfat: 32-bit FAT entries with no reserved bits, used by the exFAT parser's chains.
enum class FatType { Fat16, Fat32, Exfat };

struct FatBootSector {
    FatType type = FatType::Fat16;
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t reservedSectors = 0;
    uint32_t fatCount = 0;
    uint32_t rootEntryCount = 0;     // FAT16 fixed root; 0 on FAT32
    uint64_t sectorsPerFat = 0;
    uint64_t totalSectors = 0;       // 0 when the parameter block gives none
    uint64_t rootCluster = 0;        // FAT32

    uint64_t clusterBytes() const { return uint64_t{bytesPerSector} * sectorsPerCluster; }
    uint64_t fatOffset() const { return uint64_t{reservedSectors} * bytesPerSector; }
    uint64_t fatBytes() const { return sectorsPerFat * bytesPerSector; }
    // The fixed root directory, rounded up to whole sectors (FAT16).
    uint64_t rootDirOffset() const { return fatOffset() + fatCount * fatBytes(); }
    uint64_t rootDirBytes() const {
        const uint64_t bytes = uint64_t{rootEntryCount} * 32;
        return (bytes + bytesPerSector - 1) / bytesPerSector * bytesPerSector;
    }
    uint64_t dataOffset() const { return rootDirOffset() + rootDirBytes(); }
};

// nullopt when the parameter block is not a usable FAT16 or FAT32 one. The type follows the
// 16-bit sectors-per-FAT field: zero means FAT32.
std::optional<FatBootSector> decodeFatBootSector(platform::Bytes sector);

}  // namespace vdrec::fs::fat
