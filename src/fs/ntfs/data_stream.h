#pragma once
// A file's unnamed $DATA as gathered from its records, and copying it out of the volume in
// bounded chunks, through its file map: plain runs in large reads, compressed data one
// compression unit at a time.

#include <cstdint>
#include <vector>

#include "fs/file_map.h"
#include "fs/ntfs/mft_record.h"
#include "fs/ntfs/run_list.h"
#include "image/block_device.h"

namespace vdrec::fs::ntfs {

struct DataStream {
    bool present = false;   // an unnamed $DATA attribute was found
    bool resident = false;
    std::vector<uint8_t> residentBytes;
    std::vector<DataRun> runs;  // every extent in VCN order from VCN 0; gaps as runs with lcn -1
    uint64_t realSize = 0;
    uint64_t allocatedSize = 0;
    uint64_t initializedSize = 0;
    uint16_t flags = 0;     // attribute flags of the first extent
    bool complete = true;   // every extent the attribute list names was found

    bool compressed() const { return !resident && (flags & kAttrFlagCompressionMask) != 0; }
    bool encrypted() const { return (flags & kAttrFlagEncrypted) != 0; }
    // The bytes a copy writes: the real size, no more than the runs cover.
    uint64_t outputLength(uint64_t clusterBytes) const;
};

struct VolumeGeometry {
    uint64_t clusterBytes = 4096;
    uint64_t clusterCount = 0;  // clusters in the volume; 0 when unknown
};

// The stream's file map: holes and bytes past the initialized size as holes, clusters the volume
// cannot hold as lost, compressed units as pieces decoded through `device` when read.
FileMap mapDataStream(const image::BlockDevice& device, const VolumeGeometry& volume, const DataStream& stream);

// Compressed NTFS data is always laid out in units of 16 clusters; other unit fields are damage.
inline constexpr uint64_t kCompressionUnitClusters = 16;

}  // namespace vdrec::fs::ntfs
