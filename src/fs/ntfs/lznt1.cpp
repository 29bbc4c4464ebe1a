#include "fs/ntfs/lznt1.h"

#include <algorithm>
#include <cstring>

namespace vdrec::fs::ntfs {

namespace {

// Decodes one compressed chunk body into [out, out + capacity). Returns false on a
// back-reference that reaches before the chunk's output or on a truncated token.
bool decodeChunk(const uint8_t* in, size_t inLength, uint8_t* out, size_t capacity, size_t& produced) {
    size_t inPos = 0;
    size_t outPos = 0;
    while (inPos < inLength && outPos < capacity) {
        const uint8_t flags = in[inPos++];
        for (int bit = 0; bit < 8 && inPos < inLength && outPos < capacity; ++bit) {
            if ((flags >> bit & 1) == 0) {
                out[outPos++] = in[inPos++];
                continue;
            }
            if (inPos + 2 > inLength) {
                produced = outPos;
                return false;
            }
            const uint16_t token = static_cast<uint16_t>(in[inPos] | in[inPos + 1] << 8);
            inPos += 2;
            // The split between offset and length bits narrows as the chunk's output grows.
            unsigned lengthBits = 12;
            for (size_t p = outPos - 1; outPos > 0 && p >= 0x10; p >>= 1) --lengthBits;
            const size_t offset = (token >> lengthBits) + 1u;
            size_t length = (token & ((1u << lengthBits) - 1)) + 3u;
            if (offset > outPos) {
                produced = outPos;
                return false;
            }
            length = std::min(length, capacity - outPos);
            // Overlapping copies repeat the pattern, so copy byte by byte.
            for (size_t k = 0; k < length; ++k, ++outPos) out[outPos] = out[outPos - offset];
        }
    }
    produced = outPos;
    return true;
}

}  // namespace

Lznt1Result decompressLznt1(std::span<const uint8_t> input, std::span<uint8_t> output) {
    Lznt1Result result;
    size_t inPos = 0;
    size_t outPos = 0;
    while (inPos + 2 <= input.size() && outPos < output.size()) {
        const uint16_t header = static_cast<uint16_t>(input[inPos] | input[inPos + 1] << 8);
        if (header == 0) break;
        const size_t bodyLength = (header & 0x0FFFu) + 1u;
        const bool compressed = (header & 0x8000u) != 0;
        inPos += 2;
        if (bodyLength > input.size() - inPos) {
            result.damaged = true;
            break;
        }
        const size_t capacity = std::min(kLznt1ChunkBytes, output.size() - outPos);
        uint8_t* out = output.data() + outPos;
        if (compressed) {
            size_t produced = 0;
            const bool sound = decodeChunk(input.data() + inPos, bodyLength, out, capacity, produced);
            std::memset(out + produced, 0, capacity - produced);
            if (!sound) {
                result.produced = outPos + produced;
                result.damaged = true;
                return result;
            }
        } else {
            const size_t stored = std::min(bodyLength, capacity);
            std::memcpy(out, input.data() + inPos, stored);
            std::memset(out + stored, 0, capacity - stored);
        }
        inPos += bodyLength;
        outPos += capacity;
    }
    result.produced = outPos;
    return result;
}

}  // namespace vdrec::fs::ntfs
