// RAR: a chain of blocks after the marker, each stating its header size and, for blocks with data, the data
// size after the header; the end-of-archive block closes the file. RAR 1.5 to 4 and RAR 5 differ in how a
// block states its sizes.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr std::string_view kRar4Marker = std::string_view("Rar!\x1a\x07\x00", 7);
constexpr std::string_view kRar5Marker = std::string_view("Rar!\x1a\x07\x01\x00", 8);

// RAR 4: CRC (2), type (1), flags (2), header size (2), then a 32-bit data size when flag 0x8000 is set;
// a file or service block carries the high 32 bits of its data size at offset 32 when flag 0x100 is set.
constexpr uint8_t kRar4EndOfArchive = 0x7B;
constexpr uint8_t kRar4File = 0x74;
constexpr uint8_t kRar4Service = 0x7A;
constexpr uint16_t kRar4HasData = 0x8000;
constexpr uint16_t kRar4LargeFile = 0x0100;

std::optional<uint64_t> measureRar4(CandidateBuffer& in) {
    uint64_t position = kRar4Marker.size();
    for (;;) {
        const auto block = in.at(position, 7);
        if (!block) return std::nullopt;
        const uint8_t type = block->u8Or0(2);
        const uint16_t flags = block->le16Or0(3);
        const uint16_t headerSize = block->le16Or0(5);
        if (type < 0x72 || type > 0x7B || headerSize < 7) return std::nullopt;
        uint64_t dataSize = 0;
        if (flags & kRar4HasData) {
            const auto fields = in.at(position, headerSize);
            if (!fields || headerSize < 11) return std::nullopt;
            dataSize = fields->le32Or0(7);
            if ((type == kRar4File || type == kRar4Service) && (flags & kRar4LargeFile)) {
                const auto high = fields->le32(32);
                if (!high) return std::nullopt;
                dataSize |= static_cast<uint64_t>(*high) << 32;
            }
        }
        const auto next = platform::checkedAdd(position + headerSize, dataSize);
        if (!next || *next > in.limit()) return std::nullopt;
        if (type == kRar4EndOfArchive) return *next;
        position = *next;
    }
}

// RAR 5: CRC32 (4), header size (vint), then the header: type (vint), flags (vint), extra area size (vint)
// when flag 1 is set, data size (vint) when flag 2 is set.
constexpr uint64_t kRar5EndOfArchive = 5;
constexpr uint64_t kRar5HasExtra = 0x01;
constexpr uint64_t kRar5HasData = 0x02;
constexpr uint64_t kRar5MaxHeader = 2 * 1024 * 1024;

// A variable-length integer: 7 bits a byte, low bits first, at most 10 bytes.
std::optional<uint64_t> vint(const platform::ByteReader& bytes, size_t& at) {
    uint64_t value = 0;
    for (unsigned shift = 0; shift < 70; shift += 7) {
        const auto byte = bytes.u8(at++);
        if (!byte) return std::nullopt;
        value |= static_cast<uint64_t>(*byte & 0x7F) << shift;
        if ((*byte & 0x80) == 0) return value;
    }
    return std::nullopt;
}

std::optional<uint64_t> measureRar5(CandidateBuffer& in) {
    uint64_t position = kRar5Marker.size();
    for (;;) {
        const auto start = in.at(position, 7);
        if (!start) return std::nullopt;
        size_t at = 4;
        const auto headerSize = vint(*start, at);
        if (!headerSize || *headerSize < 3 || *headerSize > kRar5MaxHeader) return std::nullopt;
        const uint64_t headerStart = position + at;
        // The header's own fields: enough bytes for three vints is all the walk needs.
        std::optional<platform::ByteReader> header;
        for (size_t length = std::min<uint64_t>(*headerSize, 30); length > 0 && !header; length /= 2)
            header = in.at(headerStart, length);
        if (!header) return std::nullopt;
        size_t field = 0;
        const auto type = vint(*header, field);
        const auto flags = vint(*header, field);
        if (!type || !flags || *type == 0 || *type > kRar5EndOfArchive) return std::nullopt;
        if ((*flags & kRar5HasExtra) && !vint(*header, field)) return std::nullopt;
        uint64_t dataSize = 0;
        if (*flags & kRar5HasData) {
            const auto size = vint(*header, field);
            if (!size) return std::nullopt;
            dataSize = *size;
        }
        const auto next = platform::checkedAdd(headerStart + *headerSize, dataSize);
        if (!next || *next > in.limit()) return std::nullopt;
        if (*type == kRar5EndOfArchive) return *next;
        position = *next;
    }
}

}  // namespace

std::optional<uint64_t> measureRar(CandidateBuffer& in) {
    const auto marker = in.at(0, 8);
    if (!marker) return std::nullopt;
    if (marker->matches(0, kRar5Marker)) return measureRar5(in);
    if (marker->matches(0, kRar4Marker)) return measureRar4(in);
    return std::nullopt;
}

}  // namespace vdrec::raw
