#include "volumes/volume_extent.h"

#include <algorithm>

#include "platform/text_format.h"
#include "volumes/volume_filter.h"

namespace vdrec::volumes {

namespace {

constexpr uint64_t kSectorsPerMegabyte = 2048;
constexpr uint64_t kSectorBytes = 512;

bool startsOnDisk(int64_t start, uint64_t totalSectors) {
    return start >= 0 && static_cast<uint64_t>(start) < totalSectors;
}

}  // namespace

uint64_t handGivenSectorCount(int64_t start, int64_t end, uint64_t totalSectors) {
    if (totalSectors == 0) return 0;
    const uint64_t lastSector = totalSectors - 1;
    const uint64_t last = end <= 0 || static_cast<uint64_t>(end) > lastSector ? lastSector : static_cast<uint64_t>(end);
    if (start < 0 || static_cast<uint64_t>(start) >= last) return 0;
    return last - static_cast<uint64_t>(start) + 1;
}

std::string handGivenSizeText(int64_t start, int64_t end, uint64_t totalSectors) {
    return platform::format("%llu", static_cast<unsigned long long>(handGivenSectorCount(start, end, totalSectors) /
                                                                    kSectorsPerMegabyte));
}

uint64_t volumeBytes(const VolumeEntry& volume) {
    if (volume.sectorCount != 0)
        return volume.sectorCount > UINT64_MAX / kSectorBytes ? UINT64_MAX : volume.sectorCount * kSectorBytes;
    const int64_t megabytes = std::min<int64_t>(leadingMegabytes(volume.sizeText), INT32_MAX);
    return megabytes > 0 ? static_cast<uint64_t>(megabytes) << 20 : 0;
}

bool fitToDisk(VolumeEntry& volume, uint64_t totalSectors) {
    if (!startsOnDisk(volume.startSector, totalSectors)) return false;
    const uint64_t sectorsLeft = totalSectors - static_cast<uint64_t>(volume.startSector);
    if (volume.sectorCount > sectorsLeft) volume.sectorCount = sectorsLeft;
    const uint64_t available = (totalSectors - static_cast<uint64_t>(volume.startSector)) / kSectorsPerMegabyte;
    const int64_t megabytes = leadingMegabytes(volume.sizeText);
    if (megabytes <= 0 || static_cast<uint64_t>(megabytes) <= available) return true;
    // Replace only the number, so "%lld   MB" stays "%lld   MB".
    const size_t digits = volume.sizeText.find_first_of("0123456789");
    const size_t after = volume.sizeText.find_first_not_of("0123456789", digits);
    volume.sizeText.replace(digits, after == std::string::npos ? std::string::npos : after - digits,
                            platform::format("%llu", static_cast<unsigned long long>(available)));
    return true;
}

}  // namespace vdrec::volumes
