#pragma once
// A signature as the carving engine uses it: a record's fields checked and clamped once, so that
// the scan trusts only this struct.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "raw/signature_record.h"

namespace vdrec::raw {

inline constexpr uint32_t kCarveSectorSize = 512;

struct SizeField {
    uint32_t offset;  // from the start of the start signature's sector
    uint32_t width;   // 1 to 8 bytes, little-endian
};

struct Signature {
    size_t id = 0;              // position among every signature loaded into one engine
    std::string extension;      // appended to found-file names
    std::vector<uint8_t> start; // 2 to 10 bytes; 0x2A matches any byte
    uint32_t startOffset = 0;   // 0 to 511, and the pattern ends inside the sector
    std::vector<uint8_t> end;   // empty: no end signature
    std::optional<SizeField> sizeField;
    uint64_t headerSize = 0;
    bool sizeIncludesHeader = false;
    uint64_t approximateSize = 0;  // 0: not given
    uint64_t skipBytes = kCarveSectorSize;  // whole sectors, at least one
    std::string category;
};

Signature signatureFromRecord(const SignatureRecord& record, size_t id);

}  // namespace vdrec::raw
