#include "volumes/volume_filter.h"

#include <cctype>
#include <charconv>

namespace vdrec::volumes {

namespace {

constexpr int64_t kSectorsPerMegabyte = 2048;

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(a[k])) != std::tolower(static_cast<unsigned char>(b[k]))) return false;
    return true;
}

bool isBackupCopyOf(const VolumeEntry& candidate, const VolumeEntry& volume) {
    if (!sameName(candidate.fileSystem, volume.fileSystem) || candidate.sizeText != volume.sizeText) return false;
    const int64_t megabytes = leadingMegabytes(volume.sizeText);
    if (megabytes >= INT64_MAX / kSectorsPerMegabyte - 1) return candidate.startSector > volume.startSector;
    const int64_t reach = (megabytes + 1) * kSectorsPerMegabyte;
    return candidate.startSector > volume.startSector && candidate.startSector - volume.startSector < reach;
}

}  // namespace

int64_t leadingMegabytes(const std::string& sizeText) {
    size_t at = 0;
    while (at < sizeText.size() && sizeText[at] == ' ') ++at;
    int64_t value = 0;
    const auto [end, error] = std::from_chars(sizeText.data() + at, sizeText.data() + sizeText.size(), value);
    if (error != std::errc() || end == sizeText.data() + at || value < 1) return 0;
    return value;
}

std::vector<size_t> filterVolumeRecords(const std::vector<VolumeEntry>& records) {
    std::vector<size_t> kept;
    for (size_t k = 0; k < records.size(); ++k) {
        bool drop = false;
        for (size_t index : kept) {
            const VolumeEntry& volume = records[index];
            if (volume.startSector == records[k].startSector || isBackupCopyOf(records[k], volume)) {
                drop = true;
                break;
            }
        }
        if (!drop) kept.push_back(k);
    }
    return kept;
}

}  // namespace vdrec::volumes
