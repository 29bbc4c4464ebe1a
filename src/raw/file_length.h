#pragma once
// Exact lengths of carved files of the kinds whose layout says where they end. Signature rules alone
// (an end pattern, a size field, an approximate size) cut most files short or long; the carving engine
// asks here first when a start signature is of one of these kinds.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace vdrec::raw {

// Reads `size` bytes at `offset` from the start of the candidate file; returns the bytes actually read (fewer at
// the area's end).
using CandidateRead = std::function<size_t(uint64_t offset, uint8_t* into, size_t size)>;

// The exact length of a file of a known kind that starts at the candidate's offset 0, or nullopt when the kind is
// not known or the bytes do not form a valid file of it. `limit` caps the length (and every read).
//
// Known extensions (lower case): jpg, png, gif, bmp, pdf, zip (and the Office and OpenDocument formats built on
// it), rar, 7z, mp3, mp4, mov, avi, wav, doc, xls, sqlite.
std::optional<uint64_t> measureFileLength(std::string_view extension, const CandidateRead& read, uint64_t limit);

// Whether measureFileLength knows the kind of this extension.
bool hasFileLengthMeasure(std::string_view extension);

}  // namespace vdrec::raw
