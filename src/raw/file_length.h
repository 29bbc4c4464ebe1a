#pragma once
// The exact length of a carved file of a known format, measured from its own structure.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace vdrec::raw {
// Reads `size` bytes at `offset` from the start of the candidate file; returns the bytes actually read (fewer at the area's end).
using CandidateRead = std::function<size_t(uint64_t offset, uint8_t* into, size_t size)>;
// The exact length of a file of a known kind that starts at the candidate's offset 0, or nullopt when the kind is not
// known or the bytes do not form a valid file of it. `limit` caps the length (and every read).
std::optional<uint64_t> measureFileLength(std::string_view extension, const CandidateRead& read, uint64_t limit);
}
