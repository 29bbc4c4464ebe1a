#include "fs/fat/fat_boot_sector.h"

namespace vdrec::fs::fat {

namespace {

bool isPowerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

std::optional<FatBootSector> decodeFatBootSector(platform::Bytes sector) {
    const platform::ByteReader in(sector);
    if (!in.has(0, 512)) return std::nullopt;
    FatBootSector boot;
    boot.bytesPerSector = in.le16Or0(11);
    boot.sectorsPerCluster = in.u8Or0(13);
    boot.reservedSectors = in.le16Or0(14);
    boot.fatCount = in.u8Or0(16);
    boot.rootEntryCount = in.le16Or0(17);
    const uint32_t totalSectors16 = in.le16Or0(19);
    const uint32_t sectorsPerFat16 = in.le16Or0(22);
    const uint32_t totalSectors32 = in.le32Or0(32);
    boot.totalSectors = totalSectors16 != 0 ? totalSectors16 : totalSectors32;

    if (!isPowerOfTwo(boot.bytesPerSector) || boot.bytesPerSector < 512 || boot.bytesPerSector > 4096) return std::nullopt;
    if (!isPowerOfTwo(boot.sectorsPerCluster) || boot.clusterBytes() > 256 * 1024) return std::nullopt;
    if (boot.reservedSectors == 0 || boot.fatCount == 0) return std::nullopt;

    if (sectorsPerFat16 != 0) {
        boot.type = FatType::Fat16;
        boot.sectorsPerFat = sectorsPerFat16;
        if (boot.rootEntryCount == 0) return std::nullopt;
    } else {
        boot.type = FatType::Fat32;
        boot.sectorsPerFat = in.le32Or0(36);
        boot.rootCluster = in.le32Or0(44) & 0x0FFFFFFF;
        boot.rootEntryCount = 0;
        if (boot.sectorsPerFat == 0 || boot.rootCluster < 2) return std::nullopt;
    }
    return boot;
}

}  // namespace vdrec::fs::fat
