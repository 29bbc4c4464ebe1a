#pragma once
// The first NTFS volume of mbr-ext.img (mkntfs, 4 KiB clusters, MFT at clusters 4-20, records
// 16-23 and 65-67 free, clusters 23-130, 233-510 and 768-1022 free) copied out as a volume
// image, so that a test can rewrite records and clusters before the parser reads it.

#include <string>
#include <vector>

#include "fs/ntfs/ntfs_test_volume.h"
#include "support/test_support.h"

namespace vdrec::fs::ntfs::test {

class PatchedVolume {
public:
    static constexpr uint64_t kClusterBytes = 4096;
    static constexpr uint64_t kMftCluster = 4;

    PatchedVolume();

    void putRecord(uint64_t number, const std::vector<uint8_t>& record);
    void putCluster(uint64_t cluster, const std::vector<uint8_t>& data);
    void patch(uint64_t offset, const std::vector<uint8_t>& bytes);
    std::vector<uint8_t> recordBytes(uint64_t number) const;
    // Writes the image and parses it in `mode`.
    std::unique_ptr<TestVolume> scan(int mode = NtfsVolume::kStandard);
    const std::string& path() const { return path_; }

    std::vector<uint8_t> image;

private:
    vdrec::test::TempDir dir_;
    std::string path_;
};

}  // namespace vdrec::fs::ntfs::test
