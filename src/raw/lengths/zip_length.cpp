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

// Offset and size of the central directory, from a ZIP64 record when the classic fields are saturated.
struct CentralDirectory {
    uint64_t offset;
    uint64_t size;
};

std::optional<CentralDirectory> centralDirectory(CandidateBuffer& in, uint64_t record,
                                                 const platform::ByteReader& end) {
    CentralDirectory directory{end.le32Or0(16), end.le32Or0(12)};
    if (directory.offset != 0xFFFFFFFF && directory.size != 0xFFFFFFFF) return directory;
    if (record < kLocatorSize) return std::nullopt;
    const auto locator = in.at(record - kLocatorSize, kLocatorSize);
    if (!locator || !locator->matches(0, kZip64Locator)) return std::nullopt;
    const uint64_t zip64End = locator->le64Or0(8);
    const auto zip64 = in.at(zip64End, 56);
    if (!zip64 || !zip64->matches(0, kZip64End)) return std::nullopt;
    // The ZIP64 record and its locator lie between the central directory and the classic record.
    directory = {zip64->le64Or0(48), zip64->le64Or0(40)};
    const auto directoryEnd = platform::checkedAdd(directory.offset, directory.size);
    if (!directoryEnd || *directoryEnd != zip64End) return std::nullopt;
    return CentralDirectory{directory.offset, record - directory.offset};
}

}  // namespace

std::optional<uint64_t> measureZip(CandidateBuffer& in) {
    const auto header = in.at(0, 4);
    if (!header || !header->matches(0, kLocalHeader)) return std::nullopt;
    uint64_t position = 4;
    for (;;) {
        const std::optional<uint64_t> record = in.find(position, in.limit(), kEndOfCentralDirectory);
        if (!record) return std::nullopt;
        position = *record + 1;
        const auto end = in.at(*record, kEndRecordSize);
        if (!end) return std::nullopt;
        const std::optional<CentralDirectory> directory = centralDirectory(in, *record, *end);
        if (!directory) continue;
        const auto directoryEnd = platform::checkedAdd(directory->offset, directory->size);
        if (!directoryEnd || *directoryEnd != *record) continue;
        // An empty archive has no central header to check.
        if (directory->size != 0) {
            const auto first = in.at(directory->offset, 4);
            if (!first || !first->matches(0, kCentralHeader)) continue;
        }
        return *record + kEndRecordSize + end->le16Or0(20);
    }
}

}  // namespace vdrec::raw
