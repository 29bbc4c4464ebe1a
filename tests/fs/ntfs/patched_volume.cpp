#include "fs/ntfs/patched_volume.h"

#include <algorithm>

namespace vdrec::fs::ntfs::test {

PatchedVolume::PatchedVolume() : path_(dir_.file("volume.img")) {
    const auto disk = vdrec::test::readFile(vdrec::test::fixture("mbr-ext.img"));
    image.assign(disk.begin() + 2048 * 512, disk.begin() + (2048 + 8192) * 512);
}

void PatchedVolume::patch(uint64_t offset, const std::vector<uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<ptrdiff_t>(offset));
}

void PatchedVolume::putRecord(uint64_t number, const std::vector<uint8_t>& record) {
    patch(kMftCluster * kClusterBytes + number * 1024, record);
}

void PatchedVolume::putCluster(uint64_t cluster, const std::vector<uint8_t>& data) {
    patch(cluster * kClusterBytes, data);
}

std::vector<uint8_t> PatchedVolume::recordBytes(uint64_t number) const {
    const auto start = image.begin() + static_cast<ptrdiff_t>(kMftCluster * kClusterBytes + number * 1024);
    return std::vector<uint8_t>(start, start + 1024);
}

std::unique_ptr<TestVolume> PatchedVolume::scan(int mode) {
    vdrec::test::writeFile(path_, image);
    auto volume = std::make_unique<TestVolume>(path_, 0, "4");
    volume->scan(mode);
    return volume;
}

}  // namespace vdrec::fs::ntfs::test
