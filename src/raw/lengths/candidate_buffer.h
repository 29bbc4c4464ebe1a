#pragma once
// A window over a candidate file, refilled in large pieces, so that the format walkers can ask for fields
// at any offset without a read per field. Nothing at or past the limit is ever read.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/byte_reader.h"
#include "raw/file_length.h"

namespace vdrec::raw {

class CandidateBuffer {
public:
    static constexpr size_t kWindow = 64 * 1024;

    CandidateBuffer(const CandidateRead& read, uint64_t limit);

    uint64_t limit() const { return limit_; }

    // The `length` bytes at `offset` (length at most kWindow), or nullopt when they reach past the limit or
    // past the end of what can be read. A view into the window: valid only until the next call of any of
    // these, so take the fields out of it first.
    std::optional<platform::ByteReader> at(uint64_t offset, size_t length);

    // The bytes from `offset` to the end of the window holding it (refilled when needed): at least one byte,
    // or an empty span at the limit or the end of the readable data. For scans that walk byte by byte.
    platform::Bytes from(uint64_t offset);

    // The first offset in [from, end) where `pattern` starts (the whole pattern below `end`), or nullopt.
    std::optional<uint64_t> find(uint64_t from, uint64_t end, std::string_view pattern);

private:
    bool fill(uint64_t offset, size_t atLeast);
    // The window's bytes from `offset` on, refilled there when fewer than `atLeast` are held; empty when
    // `atLeast` cannot be had.
    platform::Bytes rest(uint64_t offset, size_t atLeast);

    const CandidateRead& read_;
    uint64_t limit_;
    std::vector<uint8_t> window_;
    uint64_t windowStart_ = 0;
    size_t windowSize_ = 0;
};

}  // namespace vdrec::raw
