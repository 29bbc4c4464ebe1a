// GIF: header and logical screen descriptor, the global color table, then extension and image blocks whose
// data comes in sub-blocks of at most 255 bytes, up to the trailer byte 3B.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

// Size of the color table a packed field announces (its top bit set), else 0.
uint64_t colorTableSize(uint8_t packed) { return (packed & 0x80) ? 3u << ((packed & 0x07) + 1) : 0; }

// Offset just past the block terminator of the sub-blocks starting at `position`.
std::optional<uint64_t> skipSubBlocks(CandidateBuffer& in, uint64_t position) {
    for (;;) {
        const auto size = in.at(position, 1);
        if (!size) return std::nullopt;
        position += 1 + size->u8Or0(0);
        if (size->u8Or0(0) == 0) return position;
    }
}

}  // namespace

std::optional<uint64_t> measureGif(CandidateBuffer& in) {
    const auto header = in.at(0, 13);
    if (!header || !(header->matches(0, "GIF87a") || header->matches(0, "GIF89a"))) return std::nullopt;
    uint64_t position = 13 + colorTableSize(header->u8Or0(10));
    bool sawImage = false;
    for (;;) {
        const auto block = in.at(position, 1);
        if (!block) return std::nullopt;
        switch (block->u8Or0(0)) {
        case kTrailer:
            return sawImage ? std::optional<uint64_t>(position + 1) : std::nullopt;
        case kExtension: {
            if (!in.at(position + 1, 1)) return std::nullopt;  // the label
            const auto next = skipSubBlocks(in, position + 2);
            if (!next) return std::nullopt;
            position = *next;
            break;
        }
        case kImage: {
            const auto descriptor = in.at(position, 10);
            if (!descriptor) return std::nullopt;
            // Descriptor, local color table, then the LZW minimum code size before the data.
            const uint64_t data = position + 10 + colorTableSize(descriptor->u8Or0(9));
            const auto codeSize = in.at(data, 1);
            if (!codeSize || codeSize->u8Or0(0) > 12) return std::nullopt;
            const auto next = skipSubBlocks(in, data + 1);
            if (!next) return std::nullopt;
            position = *next;
            sawImage = true;
            break;
        }
        default:
            return std::nullopt;
        }
    }
}

}  // namespace vdrec::raw
