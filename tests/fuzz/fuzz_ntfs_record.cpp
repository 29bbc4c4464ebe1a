// One MFT record, its attribute list, a run list and an LZNT1 unit, from untrusted bytes.

#include <cstdint>
#include <vector>

#include "fs/ntfs/lznt1.h"
#include "fs/ntfs/mft_record.h"
#include "fs/ntfs/run_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    const platform::Bytes bytes = platform::asBytes(data, size);
    fs::ntfs::DecodedMftRecord record;
    fs::ntfs::decodeRecordForFuzzing(bytes, record);
    fs::ntfs::decodeAttributeList(bytes);
    fs::ntfs::decodeDataRuns(bytes, size * 8);
    std::vector<uint8_t> unit(65536);
    fs::ntfs::decompressLznt1(std::span<const uint8_t>(data, size), unit);
    return 0;
}
