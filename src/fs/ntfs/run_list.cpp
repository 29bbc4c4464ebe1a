#include "fs/ntfs/run_list.h"

namespace vdrec::fs::ntfs {

std::vector<DataRun> decodeDataRuns(platform::Bytes mappingPairs, uint64_t vcnCount) {
    std::vector<DataRun> runs;
    const platform::ByteReader in(mappingPairs);
    size_t position = 0;
    int64_t lcn = 0;
    uint64_t total = 0;
    // Every pair takes at least two bytes, so the loop ends within the span.
    while (position < in.size()) {
        const uint8_t header = in.u8Or0(position);
        const size_t lengthBytes = header & 0x0F;
        const size_t offsetBytes = header >> 4;
        if (lengthBytes == 0) break;
        if (lengthBytes > 8 || offsetBytes > 8) break;
        if (!in.has(position + 1, lengthBytes + offsetBytes)) break;

        uint64_t length = 0;
        for (size_t k = 0; k < lengthBytes; ++k) length |= uint64_t{in.u8Or0(position + 1 + k)} << (8 * k);
        uint64_t rawOffset = 0;
        for (size_t k = 0; k < offsetBytes; ++k)
            rawOffset |= uint64_t{in.u8Or0(position + 1 + lengthBytes + k)} << (8 * k);
        position += 1 + lengthBytes + offsetBytes;

        DataRun run;
        run.length = length;
        if (offsetBytes == 0) {
            run.sparse = true;
        } else {
            // Sign-extend from the top bit of the last offset byte.
            if (offsetBytes < 8 && (rawOffset >> (8 * offsetBytes - 1)) & 1) rawOffset |= ~uint64_t{0} << (8 * offsetBytes);
            int64_t next = 0;
            if (__builtin_add_overflow(lcn, static_cast<int64_t>(rawOffset), &next)) break;
            lcn = next;
            run.lcn = lcn;
        }
        if (length > vcnCount - total) break;  // beyond the attribute's VCN range
        total += length;
        if (length != 0) runs.push_back(run);
    }
    return runs;
}

uint64_t totalClusters(const std::vector<DataRun>& runs) {
    uint64_t total = 0;
    for (const auto& run : runs)
        if (__builtin_add_overflow(total, run.length, &total)) return UINT64_MAX;
    return total;
}

}  // namespace vdrec::fs::ntfs
