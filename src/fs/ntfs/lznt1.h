#pragma once
// LZNT1, the compression NTFS applies per compression unit.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vdrec::fs::ntfs {

inline constexpr size_t kLznt1ChunkBytes = 4096;

struct Lznt1Result {
    size_t produced = 0;   // bytes of `output` written (whole 4096-byte chunks, the last one short)
    bool damaged = false;  // a chunk ran past the input or held an impossible back-reference
};

// Decompresses `input` into `output`, never past its end. Each chunk stands for 4096 output
// bytes: a compressed chunk that decodes to fewer is zero-filled to its full size, so later
// chunks stay at their offsets. A chunk whose compressed bit is clear is copied as stored.
// A back-reference reaching before the start of its chunk ends decoding as damaged.
Lznt1Result decompressLznt1(std::span<const uint8_t> input, std::span<uint8_t> output);

}  // namespace vdrec::fs::ntfs
