#include "raw/area_reader.h"

#include <algorithm>
#include <cstring>

namespace vdrec::raw {

AreaReader::AreaReader(const image::BlockDevice& reader, uint64_t areaBytes) : reader_(reader), areaBytes_(areaBytes) {}

void AreaReader::setChunk(const uint8_t* bytes, uint64_t offset, uint64_t size) {
    chunk_ = bytes;
    chunkOffset_ = offset;
    chunkSize_ = size;
}

const AreaReader::Piece& AreaReader::piece(uint64_t offset) {
    Piece* oldest = &pieces_[0];
    for (Piece& piece : pieces_) {
        if (piece.offset == offset) {
            piece.lastUse = ++uses_;
            return piece;
        }
        if (piece.lastUse < oldest->lastUse) oldest = &piece;
    }
    oldest->bytes.resize(kPieceBytes);
    const uint64_t size = std::min(kPieceBytes, areaBytes_ - offset);
    // A failed read leaves zeros: the bytes are judged as found, as the scan judged its chunk.
    reader_.readAt(static_cast<int64_t>(offset), oldest->bytes.data(), static_cast<uint32_t>(size));
    oldest->offset = offset;
    oldest->lastUse = ++uses_;
    return *oldest;
}

size_t AreaReader::read(uint64_t offset, uint8_t* into, size_t size) {
    if (offset >= areaBytes_) return 0;
    size = static_cast<size_t>(std::min<uint64_t>(size, areaBytes_ - offset));
    if (chunk_ && offset >= chunkOffset_ && offset - chunkOffset_ <= chunkSize_ &&
        size <= chunkSize_ - (offset - chunkOffset_)) {
        std::memcpy(into, chunk_ + (offset - chunkOffset_), size);
        return size;
    }
    size_t done = 0;
    while (done < size) {
        const uint64_t at = offset + done;
        const uint64_t base = at / kPieceBytes * kPieceBytes;
        const Piece& cached = piece(base);
        const size_t part = static_cast<size_t>(std::min<uint64_t>(size - done, kPieceBytes - (at - base)));
        std::memcpy(into + done, cached.bytes.data() + (at - base), part);
        done += part;
    }
    return size;
}

}  // namespace vdrec::raw
