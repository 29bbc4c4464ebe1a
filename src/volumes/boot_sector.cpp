#include "volumes/boot_sector.h"

#include "platform/byte_reader.h"
#include "platform/text_format.h"

namespace vdrec::volumes {

namespace {

using platform::ByteReader;

bool isPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

bool hasFatJump(const ByteReader& in) {
    const uint8_t second = in.u8Or0(1);
    return in.u8Or0(0) == 0xEB && (second == 0x3C || second == 0x58 || second == 0x76);
}

// FAT volumes are recognised by a plausible BIOS parameter block, not by the free-text OEM name,
// which mkfs.fat ("mkfs.fat"), Windows 9x ("MSWIN4.1") and others fill differently.
BootSectorFind classifyFat(const ByteReader& in) {
    if (!hasFatJump(in) || in.le16Or0(510) != 0xAA55) return {};
    const uint32_t bytesPerSector = in.le16Or0(11);
    const uint32_t sectorsPerCluster = in.u8Or0(13);
    const uint32_t reservedSectors = in.le16Or0(14);
    const uint32_t fatCount = in.u8Or0(16);
    const uint32_t rootEntries = in.le16Or0(17);
    const uint32_t totalSectors16 = in.le16Or0(19);
    const uint32_t fatSize16 = in.le16Or0(22);
    const uint32_t totalSectors32 = in.le32Or0(32);
    const uint32_t fatSize32 = in.le32Or0(36);
    if (!isPowerOfTwo(bytesPerSector) || bytesPerSector < 512 || bytesPerSector > 4096) return {};
    if (!isPowerOfTwo(sectorsPerCluster) || reservedSectors < 1 || fatCount < 1) return {};

    const uint64_t totalSectors = totalSectors16 != 0 ? totalSectors16 : totalSectors32;
    const uint64_t fatSectors = uint64_t{fatCount} * (fatSize16 != 0 ? fatSize16 : fatSize32);
    const uint64_t rootSectors = (uint64_t{rootEntries} * 32 + bytesPerSector - 1) / bytesPerSector;
    const uint64_t metadata = reservedSectors + fatSectors + rootSectors;
    const uint64_t clusters = totalSectors > metadata ? (totalSectors - metadata) / sectorsPerCluster : 0;

    BootSectorFind find;
    if (fatSize16 == 0) {
        if (fatSize32 != 0 && clusters >= 65525) {
            find.kind = BootKind::Fat32;
            find.sizeBytes = uint64_t{totalSectors32} * 512;
        } else {
            find.kind = BootKind::FatUnknown;
        }
    } else if (clusters >= 4085 && clusters < 65525) {
        find.kind = BootKind::Fat16;
        find.sizeBytes = (totalSectors16 >= 1 ? totalSectors16 : totalSectors32) * uint64_t{512};
    } else {
        find.kind = BootKind::FatUnknown;
    }
    find.sizeSectors = find.sizeBytes / 512;
    return find;
}

}  // namespace

bool isExfatBootSector(std::span<const uint8_t, 512> sector) {
    const ByteReader in(platform::asBytes(sector.data(), sector.size()));
    return hasFatJump(in) && in.matches(3, "EXFA");
}

BootSectorFind classifyBootSector(std::span<const uint8_t, 512> sector, NtfsCheck ntfsCheck) {
    const ByteReader in(platform::asBytes(sector.data(), sector.size()));
    if (in.u8Or0(0) == 0xEB && in.u8Or0(1) == 0x52 && (ntfsCheck == NtfsCheck::JumpOnly || in.matches(3, "NTFS")) &&
        in.le16Or0(11) == 512) {
        const uint64_t totalSectors = in.le64Or0(40);
        // A damaged count cannot push the size past what 64 bits hold.
        const uint64_t sizeBytes = totalSectors <= (UINT64_MAX / 512) ? totalSectors * 512 : UINT64_MAX;
        return {BootKind::Ntfs, sizeBytes, totalSectors};
    }
    if (auto fat = classifyFat(in); fat.kind != BootKind::None) return fat;
    if (isExfatBootSector(sector)) {
        const uint64_t length = in.le64Or0(72);
        const uint64_t sizeBytes = length <= (UINT64_MAX / 512) ? length * 512 : UINT64_MAX;
        return {BootKind::Exfat, sizeBytes, sizeBytes / 512};
    }
    return {};
}

std::optional<uint64_t> hfsPlusHeaderSize(std::span<const uint8_t, 512> sector) {
    const ByteReader in(platform::asBytes(sector.data(), sector.size()));
    if (!in.matches(0, "H+") || in.u8Or0(2) != 0) return std::nullopt;
    return uint64_t{in.be32Or0(40)} * in.be32Or0(44);
}

std::string fileSystemName(BootKind kind) {
    switch (kind) {
        case BootKind::Ntfs: return "NTFS";
        case BootKind::Fat32: return "FAT32";
        case BootKind::Fat16: return "FAT16";
        case BootKind::FatUnknown: return "UNKNOWN";
        case BootKind::Exfat: return "FAT64";
        case BootKind::None: break;
    }
    return {};
}

std::string findStatus(BootKind kind, int ntfsCount) {
    switch (kind) {
        case BootKind::Ntfs: return platform::format("found NTFS %d...", ntfsCount);
        case BootKind::Fat32: return "found FAT 32...";
        case BootKind::Fat16: return "found FAT 16...";
        case BootKind::FatUnknown: return "found unknown...";
        case BootKind::Exfat: return "found FAT 64...";
        case BootKind::None: break;
    }
    return {};
}

}  // namespace vdrec::volumes
