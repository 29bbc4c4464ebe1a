#pragma once
// The allocation block size of a volume whose header is lost, judged from its file records.

#include <cstdint>
#include <optional>
#include <span>

#include "fs/hfsplus/hfsplus_volume.h"

namespace vdrec::fs::hfsplus {

// Tries 512, 1,024, 2,048 and 4,096 bytes (what formatters use) and keeps the size under which
// the most data forks are sound: every extent inside the volume's `volumeBytes` and the fork's
// block count the one its logical size needs. The B-tree file that starts at `treeStart` begins
// on a block, which rules out larger sizes that do not divide it. Ties go to the larger size:
// small files fit every size, and a smaller size never pushes an extent out of the volume.
uint32_t inferBlockBytes(std::span<const HfsEntry> entries, uint64_t volumeBytes, std::optional<uint64_t> treeStart);

}  // namespace vdrec::fs::hfsplus
