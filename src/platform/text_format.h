#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vdrec::platform {

// printf-style formatting into a std::string, for the system's fixed display formats.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// The list's size text of every file system: "%.2f GB", "%.2f MB", "%.2f KB" (from 2^30, 2^20
// and 2^10 bytes) or "%lld Bytes".
std::string formatSize(uint64_t bytes);

}  // namespace vdrec::platform

namespace vdrec::platform {

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, uint32_t code);

// UTF-16LE code units up to the first NUL (or the end), as UTF-8; unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(const uint8_t* data, size_t units);

}  // namespace vdrec::platform
