// 7z: the 32-byte signature header says where the next header lies (an offset after the signature header)
// and how long it is; that header closes the archive. The signature header's CRC guards the two fields.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr std::string_view kSignature = "7z\xBC\xAF\x27\x1C";
constexpr uint64_t kSignatureHeaderSize = 32;
constexpr uint8_t kHeader = 0x01;
constexpr uint8_t kEncodedHeader = 0x17;

}  // namespace

std::optional<uint64_t> measureSevenZip(CandidateBuffer& in) {
    const auto header = in.at(0, kSignatureHeaderSize);
    if (!header || !header->matches(0, kSignature)) return std::nullopt;
    const auto guarded = header->sub(12, 20);
    if (!guarded || crc32(*guarded) != header->le32Or0(8)) return std::nullopt;
    const uint64_t nextOffset = header->le64Or0(12);
    const uint64_t nextSize = header->le64Or0(20);
    const auto length = platform::checkedAdd(kSignatureHeaderSize, nextOffset);
    if (!length) return std::nullopt;
    const auto end = platform::checkedAdd(*length, nextSize);
    if (!end || *end > in.limit()) return std::nullopt;
    if (nextSize == 0) return end;  // an empty archive
    const auto first = in.at(*length, 1);
    if (!first || (first->u8Or0(0) != kHeader && first->u8Or0(0) != kEncodedHeader)) return std::nullopt;
    return end;
}

}  // namespace vdrec::raw
