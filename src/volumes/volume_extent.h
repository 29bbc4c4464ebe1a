#pragma once
// Where a volume lies on the disk, as far as the disk reaches. Tables and hand-typed sectors may
// name sectors the image does not hold; nothing that reads a volume may go past the last sector.

#include <cstdint>
#include <string>
#include <string_view>

#include "volumes/volume_entry.h"

namespace vdrec::volumes {

inline constexpr std::string_view kVolumePastDiskEnd =
    "This volume starts past the end of the disk; there is nothing of it to read.";

// The size text ("%lld" megabytes) of a volume given by hand from `start` to `end`, both
// inclusive. An end of 0 (none given) or past the disk's last sector stands for that last
// sector; an end before the start gives "0".
std::string handGivenSizeText(int64_t start, int64_t end, uint64_t totalSectors);
// The sector count of the same volume; 0 when it holds none.
uint64_t handGivenSectorCount(int64_t start, int64_t end, uint64_t totalSectors);

// Cuts a volume that runs past the disk's last sector so that it ends there (its sector count,
// and its size text in its own unit). False, leaving the volume as it was, when it starts outside the disk.
bool fitToDisk(VolumeEntry& volume, uint64_t totalSectors);

}  // namespace vdrec::volumes
