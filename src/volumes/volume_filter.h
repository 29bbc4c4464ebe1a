#pragma once
// The "Filter Entries" rule: thin out the finds of a signature scan, which lists a volume again
// wherever a copy of its boot sector lies.

#include <cstddef>
#include <vector>

#include "volumes/volume_entry.h"

namespace vdrec::volumes {

// Indices of the records to keep, in discovery order. A record is dropped when a kept record
// has the same start sector, or when it is a backup copy of a kept volume: same file system and
// size text, starting inside that volume. Size texts drop the fraction of a megabyte, so the
// volume is taken to reach up to the next whole megabyte (an NTFS backup lies in its last sector).
std::vector<size_t> filterVolumeRecords(const std::vector<VolumeEntry>& records);

// The whole number at the front of a size text ("3   MB" gives 3); 0 when there is none.
int64_t leadingMegabytes(const std::string& sizeText);

}  // namespace vdrec::volumes
