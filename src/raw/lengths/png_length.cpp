// PNG: the signature, then chunks of length, type, data and CRC, IHDR first, up to and with IEND.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

bool isChunkType(const platform::ByteReader& chunk) {
    for (size_t k = 4; k < 8; ++k) {
        const uint8_t c = chunk.u8Or0(k);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    }
    return true;
}

}  // namespace

std::optional<uint64_t> measurePng(CandidateBuffer& in) {
    const auto signature = in.at(0, 16);
    if (!signature || !signature->matches(0, "\x89PNG\r\n\x1a\n") || !signature->matches(12, "IHDR")) return std::nullopt;
    uint64_t position = 8;
    for (;;) {
        const auto chunk = in.at(position, 8);
        if (!chunk || !isChunkType(*chunk)) return std::nullopt;
        const uint32_t length = chunk->be32Or0(0);
        if (length > 0x7FFFFFFFu) return std::nullopt;
        const uint64_t end = position + 12 + length;
        if (end > in.limit()) return std::nullopt;
        if (chunk->matches(4, "IEND")) return end;
        position = end;
    }
}

}  // namespace vdrec::raw
