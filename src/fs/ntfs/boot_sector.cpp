#include "fs/ntfs/boot_sector.h"

namespace vdrec::fs::ntfs {

uint64_t NtfsBootSector::clusterBytes() const {
    if (sectorsPerCluster > 0x80) {
        const unsigned shift = 256u - sectorsPerCluster;
        if (shift > 31) return 0;
        return uint64_t{bytesPerSector} << shift;
    }
    return uint64_t{bytesPerSector} * sectorsPerCluster;
}

std::optional<NtfsBootSector> decodeBootSector(platform::Bytes sector) {
    const platform::ByteReader in(sector);
    if (!in.has(0, 512)) return std::nullopt;
    NtfsBootSector boot;
    boot.oemIsNtfs = in.matches(3, "NTFS");
    boot.bytesPerSector = in.le16Or0(0x0B);
    boot.sectorsPerCluster = in.u8Or0(0x0D);
    boot.totalSectors = in.le64Or0(0x28);
    boot.mftCluster = in.le64Or0(0x30);
    return boot;
}

bool usableClusterSize(uint64_t bytes) {
    return bytes >= 512 && bytes <= kMaxClusterBytes && (bytes & (bytes - 1)) == 0;
}

}  // namespace vdrec::fs::ntfs
