#pragma once
// Dynamic VHD: a footer copy at offset 0, the dynamic header at 512, the block allocation table
// at 1536 and 2 MiB blocks each preceded by a one-sector bitmap. The reader is meant for damaged
// images, so it assumes that fresh layout instead of following the header's offsets, and the user
// may override the disk size and the table length.

#include "image/mapped_reader.h"

namespace vdrec::image {

inline constexpr uint64_t kVhdTableOffset = 1536;
inline constexpr uint64_t kVhdBlockBytes = 2 * 1024 * 1024;
inline constexpr uint32_t kVhdUnallocated = 0xFFFFFFFF;

class VhdReader final : public MappedReader {
public:
    using MappedReader::MappedReader;

    bool openSource(const std::string& path, std::unique_ptr<platform::ByteSource> source) override;

private:
    Run locate(uint64_t position) const override;
    // What reads can reach: every block the table lists.
    uint64_t size() const override { return blockMap.size() * uint64_t{kVhdBlockBytes}; }
    uint64_t diskBytes() const override;
};

// True when `path` ends in `extension`, without regard to case.
bool hasExtension(const std::string& path, std::string_view extension);

}  // namespace vdrec::image
