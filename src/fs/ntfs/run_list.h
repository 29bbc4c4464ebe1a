#pragma once
// NTFS mapping pairs: the compressed run list of a non-resident attribute.

#include <cstdint>
#include <vector>

#include "platform/byte_reader.h"

namespace vdrec::fs::ntfs {

// One run of clusters in VCN order. Cluster numbers and lengths are 64-bit: volumes may hold more
// than 2^31 clusters. A run with a negative lcn stands for clusters whose place is unknown (a
// damaged run or an extent record that could not be found); they read as zeros.
struct DataRun {
    int64_t lcn = 0;
    uint64_t length = 0;
    bool sparse = false;
};

// Decodes mapping pairs into runs. Runs are kept only while their running total stays within
// `vcnCount` (the attribute's last VCN - first VCN + 1); decoding stops at the terminator, at a
// field that does not fit in `mappingPairs`, or at a field wider than 8 bytes.
std::vector<DataRun> decodeDataRuns(platform::Bytes mappingPairs, uint64_t vcnCount);

// Sum of the run lengths (saturating).
uint64_t totalClusters(const std::vector<DataRun>& runs);

}  // namespace vdrec::fs::ntfs
