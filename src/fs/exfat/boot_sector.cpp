#include "fs/exfat/boot_sector.h"

namespace vdrec::fs::exfat {

std::optional<ExfatBootSector> decodeExfatBootSector(platform::Bytes sector) {
    const platform::ByteReader in(sector);
    if (!in.has(0, 512) || !in.matches(3, "EXFAT")) return std::nullopt;
    ExfatBootSector boot;
    boot.volumeLength = in.le64Or0(72);
    boot.fatOffset = in.le32Or0(80);
    boot.fatLength = in.le32Or0(84);
    boot.clusterHeapOffset = in.le32Or0(88);
    boot.clusterCount = in.le32Or0(92);
    boot.rootCluster = in.le32Or0(96);
    boot.bytesPerSectorShift = in.u8Or0(108);
    boot.sectorsPerClusterShift = in.u8Or0(109);
    if (boot.bytesPerSectorShift < 9 || boot.bytesPerSectorShift > 12) return std::nullopt;
    if (boot.bytesPerSectorShift + boot.sectorsPerClusterShift > 25) return std::nullopt;
    return boot;
}

}  // namespace vdrec::fs::exfat
