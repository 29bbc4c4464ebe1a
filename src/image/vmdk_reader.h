#pragma once
// Hosted sparse VMDK: a "KDMV" header, an embedded text descriptor, a grain directory and grain
// tables. Sectors are found through the redundant grain directory.

#include <unordered_map>

#include <span>

#include "image/mapped_reader.h"
#include "image/vmdk_descriptor.h"

namespace vdrec::image {

inline constexpr uint32_t kVmdkMagic = 0x564D444B;  // "KDMV" read little-endian

struct VmdkHeader {
    uint32_t magic = 0;
    uint64_t capacity = 0;           // sectors
    uint64_t grainSize = 0;          // sectors
    uint64_t descriptorOffset = 0;   // sectors
    uint64_t descriptorSize = 0;     // sectors
    uint32_t grainTableEntries = 0;
    uint64_t redundantDirectoryOffset = 0;  // sectors
};

VmdkHeader decodeVmdkHeader(std::span<const std::byte> bytes);

// The header's descriptor lies inside the disk: offset and size above 0 and below the capacity.
bool hasEmbeddedDescriptor(const VmdkHeader& header);

class VmdkReader final : public MappedReader {
public:
    using MappedReader::MappedReader;

    bool openSource(const std::string& path, std::unique_ptr<platform::ByteSource> source) override;
    const VmdkHeader& header() const { return header_; }
    const VmdkDescriptor& descriptor() const { return descriptor_; }

private:
    Run locate(uint64_t position) const override;
    uint64_t diskBytes() const override { return header_.capacity * kSectorSize; }
    // What reads can reach: the grain directory's span, or a flat extent's file.
    uint64_t size() const override;
    const std::vector<int32_t>* grainTable(uint64_t directoryIndex) const;

    VmdkHeader header_;
    VmdkDescriptor descriptor_;
    bool sparse_ = false;
    bool flat_ = false;
    uint64_t sectorsPerTable_ = 0;
    std::vector<int32_t> directory_;
    // Grain tables already read, by directory index; bounded by kTableCacheBytes.
    mutable std::unordered_map<uint64_t, std::vector<int32_t>> tables_;
    mutable uint64_t cachedBytes_ = 0;
};

}  // namespace vdrec::image
