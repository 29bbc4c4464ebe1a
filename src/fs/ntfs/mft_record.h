#pragma once
// One MFT FILE record: its header, the update-sequence fixups and the attribute headers.
// Damaged and reused records are decoded on purpose, so every offset and length read here is
// bounded by the record and by its attribute before anything uses it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/byte_reader.h"

namespace vdrec::fs::ntfs {

inline constexpr size_t kMftRecordSize = 1024;

inline constexpr uint32_t kAttrStandardInformation = 0x10;
inline constexpr uint32_t kAttrAttributeList = 0x20;
inline constexpr uint32_t kAttrFileName = 0x30;
inline constexpr uint32_t kAttrData = 0x80;
inline constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

inline constexpr uint16_t kAttrFlagCompressionMask = 0x00FF;
inline constexpr uint16_t kAttrFlagEncrypted = 0x4000;
inline constexpr uint16_t kAttrFlagSparse = 0x8000;

struct MftRecordHeader {
    std::array<char, 4> signature{};
    uint16_t updateSequenceOffset = 0;
    uint16_t updateSequenceCount = 0;
    uint64_t logSequenceNumber = 0;
    uint16_t sequenceNumber = 0;
    uint16_t hardLinkCount = 0;
    uint16_t firstAttributeOffset = 0;
    uint16_t flags = 0;  // bit 0 in use, bit 1 directory
    uint32_t bytesInUse = 0;
    uint32_t bytesAllocated = 0;
    uint64_t baseRecordReference = 0;
    uint16_t nextAttributeId = 0;
    uint32_t recordNumber = 0;

    bool isFile() const { return signature == std::array<char, 4>{'F', 'I', 'L', 'E'}; }
};

// An attribute header whose every range lies inside its attribute, and the attribute inside the
// record. Offsets are from the record start.
struct AttributeHeader {
    uint32_t type = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    bool nonResident = false;
    uint16_t flags = 0;
    uint8_t nameLength = 0;  // UTF-16 units; 0 = unnamed
    uint16_t attributeId = 0;
    // Resident form: the content, clamped to the attribute.
    uint32_t contentOffset = 0;
    uint32_t contentLength = 0;
    // Non-resident form.
    uint64_t firstVcn = 0;
    uint64_t lastVcn = 0;
    uint32_t mappingPairsOffset = 0;
    uint32_t mappingPairsLength = 0;
    uint16_t compressionUnit = 0;
    uint64_t allocatedSize = 0;
    uint64_t realSize = 0;
    uint64_t initializedSize = 0;

    // last VCN - first VCN + 1, or 0 when the range is empty or reversed.
    uint64_t vcnCount() const { return lastVcn >= firstVcn && lastVcn != UINT64_MAX ? lastVcn - firstVcn + 1 : 0; }
};

// The largest number of attributes that fit: each takes at least 24 bytes.
inline constexpr size_t kMaxAttributes = kMftRecordSize / 24;

struct MftRecord {
    MftRecordHeader header;
    std::array<std::byte, kMftRecordSize> bytes{};  // fixed up
    std::array<AttributeHeader, kMaxAttributes> attributes{};
    size_t attributeCount = 0;

    platform::Bytes raw() const { return platform::Bytes(bytes.data(), bytes.size()); }
    // Resident content or mapping pairs of `attribute`.
    platform::Bytes content(const AttributeHeader& attribute) const;
    platform::Bytes mappingPairs(const AttributeHeader& attribute) const;
    // The attribute's own name as UTF-16LE bytes (empty when unnamed).
    platform::Bytes attributeName(const AttributeHeader& attribute) const;
    const AttributeHeader* begin() const { return attributes.data(); }
    const AttributeHeader* end() const { return attributes.data() + attributeCount; }
};

// Decodes into `out` (reused between records: it is large) a record from the first 1024 bytes of `record` (missing bytes read as zeros): copies
// it, applies the update-sequence fixups to the copy and walks the attribute headers from the
// first attribute offset until the end marker, a zero length, or an attribute that does not fit.
// The sequence numbers at the sector ends are not compared: torn records are still read.
void decodeMftRecord(platform::Bytes record, MftRecord& out);

struct FileNameAttribute {
    uint64_t parentReference = 0;  // low 48 bits: parent record number
    uint64_t allocatedSize = 0;
    uint64_t realSize = 0;
    uint32_t fileAttributes = 0;
    uint8_t nameSpace = 0;     // 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS
    platform::Bytes name;      // UTF-16LE, as many units as the attribute holds

    bool isDosOnly() const { return nameSpace == 2; }
    bool isDirectory() const { return (fileAttributes & 0x10000000u) != 0; }
    // The parent record number, sign-extended from bit 47 as the tree code expects.
    int64_t parentIndex() const;
};

std::optional<FileNameAttribute> decodeFileName(const MftRecord& record, const AttributeHeader& attribute);

struct StandardInformation {
    uint64_t creationTime = 0;
    uint64_t modificationTime = 0;
    uint64_t mftChangeTime = 0;
    uint64_t accessTime = 0;
};

std::optional<StandardInformation> decodeStandardInformation(const MftRecord& record, const AttributeHeader& attribute);

struct AttributeListEntry {
    uint32_t type = 0;
    uint8_t nameLength = 0;
    uint64_t startingVcn = 0;
    uint64_t recordNumber = 0;  // low 48 bits of the file reference
    uint16_t attributeId = 0;
};

// Walks attribute-list entries until the list's end, an entry length below the entry size or
// past the end, or the end type.
std::vector<AttributeListEntry> decodeAttributeList(platform::Bytes list);

// What parsing takes from one record: the chosen name, the parent, the folder flag.
struct RecordSummary {
    bool hasFileName = false;      // at least one file-name attribute was usable
    int64_t parentIndex = 0;       // from the first file-name attribute
    uint64_t nameAllocatedSize = 0;  // from the last file-name attribute
    bool directory = false;        // a file-name attribute carries the index-present flag
    uint32_t fileAttributes = 0;   // of the last file-name attribute (list letters)
    platform::Bytes name;          // the last Win32/POSIX name, else the last DOS name; into `record`
};

RecordSummary summarizeRecord(const MftRecord& record);

// The pure entry point for fuzzing: decodes one record of up to 1024 bytes and summarises it.
// The summary's name points into the returned record.
struct DecodedMftRecord {
    MftRecord record;
    RecordSummary summary;
};
void decodeRecordForFuzzing(platform::Bytes bytes, DecodedMftRecord& out);

}  // namespace vdrec::fs::ntfs
