#include "raw/carve_area.h"

#include <algorithm>

#include "raw/signature.h"

namespace vdrec::raw {

namespace {

uint64_t bytesLeftOnDisk(uint64_t first, uint64_t totalSectors) {
    return first < totalSectors ? (totalSectors - first) * kCarveSectorSize : 0;
}

}  // namespace

uint64_t carveAreaBytes(int64_t startSector, uint64_t megabytes, uint64_t totalSectors) {
    const uint64_t left = bytesLeftOnDisk(static_cast<uint64_t>(std::max<int64_t>(startSector, 0)), totalSectors);
    // A size text too large for the arithmetic is the rest of the disk.
    return megabytes >= (left >> 20) + 1 ? left : std::min(left, megabytes << 20);
}

uint64_t carveAreaBytesOfSectors(int64_t first, int64_t last, uint64_t totalSectors) {
    if (first < 0 || totalSectors == 0) return 0;
    const auto start = static_cast<uint64_t>(first);
    uint64_t end = last <= 0 ? totalSectors - 1 : std::min(static_cast<uint64_t>(last), totalSectors - 1);
    if (end < start) return 0;
    return (end - start + 1) * kCarveSectorSize;
}

}  // namespace vdrec::raw
