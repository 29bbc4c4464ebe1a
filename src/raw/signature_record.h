#pragma once
// One record of a signature file: 177 bytes, little-endian, no header or trailer around them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/byte_reader.h"

namespace vdrec::raw {

inline constexpr size_t kSignatureRecordSize = 177;
// Bytes a start or end signature holds.
inline constexpr size_t kMaxSignatureBytes = 10;
// UTF-16 code units of the extension kept in the record's extension field.
inline constexpr size_t kExtensionUnits = 4;
// Code units kept in all: the record's reserved tail carries units 5 to 8, so that extensions
// such as "sqlite" survive; a reader that ignores the tail still sees the first four.
inline constexpr size_t kMaxExtensionUnits = 8;
inline constexpr size_t kMaxCategoryUnits = 50;

struct SignatureRecord {
    std::string extension;         // UTF-8, at most kMaxExtensionUnits UTF-16 units, no dot
    uint8_t extensionLength = 0;   // as typed, in characters
    int16_t startOffset = 0;       // where the start signature lies in its sector
    std::array<uint8_t, kMaxSignatureBytes> startSignature{};
    std::array<uint8_t, kMaxSignatureBytes> endSignature{};
    uint8_t startLength = 0;
    uint8_t endLength = 0;         // 0: no end signature
    uint8_t recordIndex = 0;       // the record's position when it was written
    int32_t sizeFieldOffset = -1;  // -1: no size field
    int32_t sizeFieldWidth = 0;
    int32_t headerSize = 0;
    bool sizeIncludesHeader = false;
    int64_t approximateSize = 0;
    int64_t skipSize = 0;
    std::string category;          // UTF-8, at most kMaxCategoryUnits UTF-16 units
};

using RecordBytes = std::array<uint8_t, kSignatureRecordSize>;

RecordBytes encodeSignatureRecord(const SignatureRecord& record);
// nullopt when `bytes` is shorter than a record.
std::optional<SignatureRecord> decodeSignatureRecord(platform::Bytes bytes);

// UTF-8 text cut to at most `units` UTF-16 code units, never inside a character.
std::string cutToUtf16Units(std::string_view text, size_t units);
size_t utf16Units(std::string_view text);

}  // namespace vdrec::raw
