#include "raw/signature.h"

#include <algorithm>

namespace vdrec::raw {

namespace {

constexpr uint32_t kMaxSizeFieldWidth = 8;

// Whole sectors, at least one: a step that is not a multiple of the sector would leave the
// scan off sector boundaries for the rest of the area.
uint64_t skipStep(int64_t skipSize) {
    if (skipSize <= static_cast<int64_t>(kCarveSectorSize)) return kCarveSectorSize;
    return static_cast<uint64_t>(skipSize) / kCarveSectorSize * kCarveSectorSize;
}

}  // namespace

Signature signatureFromRecord(const SignatureRecord& record, size_t id) {
    Signature signature;
    signature.id = id;
    signature.extension = record.extension;
    signature.category = record.category;
    // Lengths past the arrays are cut to them; a start pattern must still end inside the sector.
    const size_t startLength = std::min<size_t>(record.startLength, kMaxSignatureBytes);
    const size_t endLength = std::min<size_t>(record.endLength, kMaxSignatureBytes);
    signature.start.assign(record.startSignature.begin(), record.startSignature.begin() + startLength);
    signature.end.assign(record.endSignature.begin(), record.endSignature.begin() + endLength);
    const int32_t offset = std::clamp<int32_t>(record.startOffset, 0, static_cast<int32_t>(kCarveSectorSize));
    signature.startOffset = static_cast<uint32_t>(std::min<size_t>(offset, kCarveSectorSize - startLength));
    if (record.sizeFieldOffset >= 1 && record.sizeFieldWidth >= 1) {
        const uint32_t width = std::min<uint32_t>(static_cast<uint32_t>(record.sizeFieldWidth), kMaxSizeFieldWidth);
        const auto fieldOffset = static_cast<uint32_t>(record.sizeFieldOffset);
        if (fieldOffset <= kCarveSectorSize - width) signature.sizeField = SizeField{fieldOffset, width};
    }
    signature.headerSize = record.headerSize > 0 ? static_cast<uint64_t>(record.headerSize) : 0;
    signature.sizeIncludesHeader = record.sizeIncludesHeader;
    signature.approximateSize = record.approximateSize > 0 ? static_cast<uint64_t>(record.approximateSize) : 0;
    signature.skipBytes = skipStep(record.skipSize);
    return signature;
}

}  // namespace vdrec::raw
