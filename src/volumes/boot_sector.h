#pragma once
// Recognising a volume by its first sector(s): NTFS, FAT16, FAT32, exFAT boot sectors and the
// HFS+ volume header.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vdrec::volumes {

inline constexpr uint64_t kMegabyte = 1024 * 1024;

enum class BootKind { None, Ntfs, Fat32, Fat16, FatUnknown, Exfat };

enum class NtfsCheck { JumpOnly, WithOemName };

struct BootSectorFind {
    BootKind kind = BootKind::None;
    uint64_t sizeBytes = 0;    // volume size the scan reports
    uint64_t sizeSectors = 0;  // what the advanced scan skips
};

// Classifies a 512-byte boot sector. The GPT walk checks NTFS by its jump bytes only; the
// advanced scan also wants "NTFS" as the OEM name.
BootSectorFind classifyBootSector(std::span<const uint8_t, 512> sector, NtfsCheck ntfsCheck);

// exFAT test of the MBR walk for partitions of type 0x07.
bool isExfatBootSector(std::span<const uint8_t, 512> sector);

// HFS+ volume header ("H+" then 0): its size in bytes from block size x total blocks.
std::optional<uint64_t> hfsPlusHeaderSize(std::span<const uint8_t, 512> sector);

std::string fileSystemName(BootKind kind);  // "NTFS", "FAT32", "FAT16", "UNKNOWN", "FAT64"
std::string findStatus(BootKind kind, int ntfsCount);

}  // namespace vdrec::volumes
