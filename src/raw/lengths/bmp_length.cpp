// BMP: the file header states the file's size; it is trusted only when the pixel data it points at fits.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitfields = 3;

bool isInfoHeaderSize(uint32_t size) {
    return size == 12 || size == 16 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
           size == 124;
}

}  // namespace

std::optional<uint64_t> measureBmp(CandidateBuffer& in) {
    const auto header = in.at(0, 30);
    if (!header || !header->matches(0, "BM")) return std::nullopt;
    const uint32_t fileSize = header->le32Or0(2);
    const uint32_t pixelOffset = header->le32Or0(10);
    const uint32_t infoSize = header->le32Or0(14);
    if (!isInfoHeaderSize(infoSize) || pixelOffset < kFileHeaderSize + infoSize || pixelOffset >= fileSize ||
        fileSize > in.limit())
        return std::nullopt;
    if (infoSize == 12) return fileSize;  // OS/2 core header: 16-bit dimensions, no compression field

    const auto info = in.at(kFileHeaderSize, 40 > infoSize ? infoSize : 40);
    if (!info || info->size() < 20) return std::nullopt;
    const uint64_t width = info->le32Or0(4);
    const int32_t height = static_cast<int32_t>(info->le32Or0(8));
    const uint16_t planes = info->le16Or0(12);
    const uint16_t bitsPerPixel = info->le16Or0(14);
    const uint32_t compression = info->size() >= 20 ? info->le32Or0(16) : kRgb;
    if (planes != 1 || width == 0 || width > 0x7FFFFFFF || height == 0 || height == INT32_MIN) return std::nullopt;
    if (bitsPerPixel != 1 && bitsPerPixel != 2 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
        bitsPerPixel != 24 && bitsPerPixel != 32)
        return std::nullopt;
    if (compression == kRgb || compression == kBitfields) {
        // Uncompressed rows are padded to four bytes; they all lie inside the stated size.
        const uint64_t rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
        const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
        const auto pixels = platform::checkedMul(rowBytes, rows);
        if (!pixels || *pixels > fileSize - pixelOffset) return std::nullopt;
    }
    return fileSize;
}

}  // namespace vdrec::raw
