#pragma once
// Reads at any byte of the carving area, for the measurers and the end-signature search: from
// the chunk the scan holds when the bytes lie in it, else through a few cached aligned pieces.

#include <cstdint>
#include <vector>

#include "image/block_device.h"

namespace vdrec::raw {

class AreaReader {
public:
    static constexpr uint64_t kPieceBytes = 256 * 1024;

    AreaReader(const image::BlockDevice& reader, uint64_t areaBytes);

    // The chunk the scan holds now; reads inside it are served from memory.
    void setChunk(const uint8_t* bytes, uint64_t offset, uint64_t size);
    // Reads `size` bytes at area offset `offset`; returns the count read, fewer at the area's end.
    size_t read(uint64_t offset, uint8_t* into, size_t size);
    uint64_t areaBytes() const { return areaBytes_; }

private:
    struct Piece {
        uint64_t offset = UINT64_MAX;
        uint64_t lastUse = 0;
        std::vector<uint8_t> bytes;
    };
    const Piece& piece(uint64_t offset);

    const image::BlockDevice& reader_;
    const uint64_t areaBytes_;
    const uint8_t* chunk_ = nullptr;
    uint64_t chunkOffset_ = 0, chunkSize_ = 0;
    Piece pieces_[4];
    uint64_t uses_ = 0;
};

}  // namespace vdrec::raw
