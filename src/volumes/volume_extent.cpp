#include "volumes/volume_extent.h"

#include "platform/text_format.h"
#include "volumes/volume_filter.h"

namespace vdrec::volumes {

namespace {

constexpr uint64_t kSectorsPerMegabyte = 2048;

bool startsOnDisk(int64_t start, uint64_t totalSectors) {
    return start >= 0 && static_cast<uint64_t>(start) < totalSectors;
}

}  // namespace

std::string handGivenSizeText(int64_t start, int64_t end, uint64_t totalSectors) {
    if (totalSectors == 0) return "0";
    const uint64_t lastSector = totalSectors - 1;
    const uint64_t last = end <= 0 || static_cast<uint64_t>(end) > lastSector ? lastSector : static_cast<uint64_t>(end);
    if (start < 0 || static_cast<uint64_t>(start) >= last) return "0";
    return platform::format("%llu", static_cast<unsigned long long>((last - static_cast<uint64_t>(start) + 1) /
                                                                    kSectorsPerMegabyte));
}

bool fitToDisk(VolumeEntry& volume, uint64_t totalSectors) {
    if (!startsOnDisk(volume.startSector, totalSectors)) return false;
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
