#pragma once
// VDI: a text pre-header, a binary header, a map of 32-bit block indices and the data blocks.

#include <span>

#include "image/mapped_reader.h"

namespace vdrec::image {

inline constexpr uint32_t kVdiUnallocated = 0xFFFFFFFF;
inline constexpr uint32_t kVdiZeroBlock = 0xFFFFFFFE;
inline constexpr uint32_t kVdiSignature = 0xBEDA107F;

struct VdiHeader {
    uint32_t version = 0;
    uint32_t headerSize = 0;
    uint32_t blockMapOffset = 0;
    uint32_t dataOffset = 0;
    uint32_t cylinders = 0;
    uint32_t heads = 0;
    uint32_t sectors = 0;
    uint64_t diskSize = 0;
    uint32_t blockSize = 0;
    uint32_t blockCount = 0;
    uint32_t allocatedBlocks = 0;
};

// Decodes the 472-byte header; fields past a short header read as 0.
VdiHeader decodeVdiHeader(std::span<const std::byte> bytes);

class VdiReader final : public MappedReader {
public:
    using MappedReader::MappedReader;

    bool openSource(const std::string& path, std::unique_ptr<platform::ByteSource> source) override;
    const VdiHeader& header() const { return header_; }

private:
    Run locate(uint64_t position) const override;
    // What reads can reach: every block the table lists.
    uint64_t size() const override { return blockMap.size() * uint64_t{header_.blockSize}; }
    uint64_t diskBytes() const override { return header_.diskSize; }

    VdiHeader header_;
};

}  // namespace vdrec::image
