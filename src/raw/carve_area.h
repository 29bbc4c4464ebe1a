#pragma once
// How much of the disk a carving run reads for a volume.

#include <cstdint>
#include <string_view>

namespace vdrec::raw {

inline constexpr std::string_view kZeroSizeVolume = "zero size volume..";

// The volume's size in whole MiB from its start sector, never past the disk's last sector.
uint64_t carveAreaBytes(int64_t startSector, uint64_t megabytes, uint64_t totalSectors);
// A volume given by sectors, `first` to `last` inclusive (a last of 0 or past the disk: the disk's
// last sector), never past the disk; 0 when it ends before it starts.
uint64_t carveAreaBytesOfSectors(int64_t first, int64_t last, uint64_t totalSectors);

}  // namespace vdrec::raw
