// ZIP (and DOCX, XLSX, PPTX, ODT, JAR built on it): the file ends with the end-of-central-directory record
// and its comment. An archive stored inside another one carries its own record, so a record counts only
// when its central directory ends right where the record starts and begins with a central header, both
// measured from this file's start: an inner archive's offsets are relative to the inner archive.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr std::string_view kEndOfCentralDirectory = "PK\x05\x06";
constexpr std::string_view kZip64Locator = "PK\x06\x07";
constexpr std::string_view kZip64End = "PK\x06\x06";
constexpr std::string_view kCentralHeader = "PK\x01\x02";
constexpr std::string_view kLocalHeader = "PK\x03\x04";
constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kLocatorSize = 20;

// Offset and size of the central directory, and where it must end: at the end record, or at the ZIP64 end
// record when a ZIP64 locator precedes the end record. Info-ZIP writes the ZIP64 records for streamed input
// even when the classic fields hold the values, so they are looked for in every archive.
struct CentralDirectory {
    uint64_t offset;
    uint64_t size;
    uint64_t end;
};

// `end` is read before anything else: the next read may reuse its bytes.
std::optional<CentralDirectory> centralDirectory(CandidateBuffer& in, uint64_t record,
                                                 const platform::ByteReader& end) {
    CentralDirectory directory{end.le32Or0(16), end.le32Or0(12), record};
    const bool saturated = directory.offset == 0xFFFFFFFF || directory.size == 0xFFFFFFFF;
    const auto locator = record >= kLocatorSize ? in.at(record - kLocatorSize, kLocatorSize) : std::nullopt;
    if (!locator || !locator->matches(0, kZip64Locator)) {
        if (saturated) return std::nullopt;
        return directory;
    }
    const uint64_t zip64End = locator->le64Or0(8);
    const auto zip64 = in.at(zip64End, 56);
    if (!zip64 || !zip64->matches(0, kZip64End)) return std::nullopt;
    return CentralDirectory{zip64->le64Or0(48), zip64->le64Or0(40), zip64End};
}

// Where the central directory starts, found by stepping from one local header to the next by their sizes:
// a few reads per member instead of a scan of every byte. Nullopt when a member's size is only in a data
// descriptor after its data (streamed archives), or when the chain breaks; the scan then decides.
constexpr uint16_t kSizesInDescriptor = 0x0008;
constexpr uint32_t kLocalHeaderSize = 30;

std::optional<uint64_t> centralDirectoryByWalk(CandidateBuffer& in) {
    uint64_t position = 0;
    for (;;) {
        const auto header = in.at(position, kLocalHeaderSize);
        if (!header) return std::nullopt;
        if (header->matches(0, kCentralHeader)) return position;
        if (!header->matches(0, kLocalHeader) || (header->le16Or0(6) & kSizesInDescriptor)) return std::nullopt;
        uint64_t packed = header->le32Or0(18);
        const uint16_t nameLength = header->le16Or0(26);
        const uint16_t extraLength = header->le16Or0(28);
        if (packed == 0xFFFFFFFF) return std::nullopt;  // the size is in the ZIP64 extra field
        const auto next = platform::checkedAdd(position + kLocalHeaderSize + nameLength + extraLength, packed);
        if (!next || *next > in.limit()) return std::nullopt;
        position = *next;
    }
}

// The end record at `record` when it closes the archive that starts at offset 0, with the file's length.
std::optional<uint64_t> closingLength(CandidateBuffer& in, uint64_t record) {
    const auto end = in.at(record, kEndRecordSize);
    if (!end || !end->matches(0, kEndOfCentralDirectory)) return std::nullopt;
    // Read before the buffer moves on: the record's bytes are gone after the next read elsewhere.
    const uint16_t commentLength = end->le16Or0(20);
    const std::optional<CentralDirectory> directory = centralDirectory(in, record, *end);
    if (!directory) return std::nullopt;
    const auto directoryEnd = platform::checkedAdd(directory->offset, directory->size);
    if (!directoryEnd || *directoryEnd != directory->end) return std::nullopt;
    // An empty archive has no central header to check.
    if (directory->size != 0) {
        const auto first = in.at(directory->offset, 4);
        if (!first || !first->matches(0, kCentralHeader)) return std::nullopt;
    }
    const uint64_t length = record + kEndRecordSize + commentLength;
    if (length > in.limit()) return std::nullopt;
    return length;
}

}  // namespace

std::optional<uint64_t> measureZip(CandidateBuffer& in) {
    const auto header = in.at(0, 4);
    if (!header || !header->matches(0, kLocalHeader)) return std::nullopt;
    uint64_t position = 4;
    // The end record follows the central directory, found by walking the members when their sizes allow.
    if (const std::optional<uint64_t> directory = centralDirectoryByWalk(in)) position = *directory;
    for (;;) {
        const std::optional<uint64_t> record = in.find(position, in.limit(), kEndOfCentralDirectory);
        if (!record) return std::nullopt;
        if (const std::optional<uint64_t> length = closingLength(in, *record)) return length;
        position = *record + 1;
    }
}

}  // namespace vdrec::raw
