#pragma once
// A file's unnamed $DATA as gathered from its records, and copying it out of the volume in
// bounded chunks: plain runs in large reads, compressed data one compression unit at a time.

#include <cstdint>
#include <functional>
#include <vector>

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

// Receives copied bytes at their offset in the file; returns 0 or an errno.
using DataSink = std::function<int(uint64_t offset, const uint8_t* data, size_t size)>;

struct StreamCopyResult {
    bool complete = true;  // every byte came from the volume (or was a hole or past the initialized size)
    int error = 0;         // the sink's errno; the copy stopped there
    uint64_t length = 0;   // the file length to set, holes included
};

struct VolumeGeometry {
    uint64_t clusterBytes = 4096;
    uint64_t clusterCount = 0;  // clusters in the volume; 0 when unknown
};

// Copies the stream into `sink`. Holes, unreadable clusters and bytes past the initialized size
// are not passed to the sink: they read as zeros once the caller sets the file length.
StreamCopyResult copyDataStream(const image::DeviceSlice& device, const VolumeGeometry& volume,
                                const DataStream& stream, const DataSink& sink);

// Compressed NTFS data is always laid out in units of 16 clusters; other unit fields are damage.
inline constexpr uint64_t kCompressionUnitClusters = 16;

}  // namespace vdrec::fs::ntfs
