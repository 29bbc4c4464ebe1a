#include "fs/ntfs/mft_record.h"

#include <algorithm>
#include <cstring>

namespace vdrec::fs::ntfs {

namespace {

constexpr uint32_t kResidentHeaderBytes = 24;
constexpr uint32_t kNonResidentHeaderBytes = 64;
constexpr uint32_t kSectorBytes = 512;

MftRecordHeader decodeHeader(const platform::ByteReader& in) {
    MftRecordHeader header;
    for (size_t k = 0; k < 4; ++k) header.signature[k] = static_cast<char>(in.u8Or0(k));
    header.updateSequenceOffset = in.le16Or0(4);
    header.updateSequenceCount = in.le16Or0(6);
    header.logSequenceNumber = in.le64Or0(8);
    header.sequenceNumber = in.le16Or0(16);
    header.hardLinkCount = in.le16Or0(18);
    header.firstAttributeOffset = in.le16Or0(20);
    header.flags = in.le16Or0(22);
    header.bytesInUse = in.le32Or0(24);
    header.bytesAllocated = in.le32Or0(28);
    header.baseRecordReference = in.le64Or0(32);
    header.nextAttributeId = in.le16Or0(40);
    header.recordNumber = in.le32Or0(44);
    return header;
}

// Puts the saved words of the update-sequence array back at the end of each sector. Only array
// entries and sector ends inside the record are touched.
void applyFixups(MftRecord& record) {
    const uint32_t count = record.header.updateSequenceCount;
    const uint32_t arrayOffset = record.header.updateSequenceOffset;
    if (count < 2) return;
    for (uint32_t s = 1; s < count; ++s) {
        const uint64_t sectorEnd = uint64_t{kSectorBytes} * s;
        const uint64_t saved = arrayOffset + 2ull * s;
        if (sectorEnd > kMftRecordSize || saved + 2 > kMftRecordSize) break;
        std::memcpy(&record.bytes[sectorEnd - 2], &record.bytes[saved], 2);
    }
}

// Decodes the header at `offset`; false when the attribute cannot be trusted at all, which ends
// the walk (the lengths after it are then unknown).
bool decodeAttribute(const platform::ByteReader& in, uint32_t offset, AttributeHeader& out) {
    if (!in.has(offset, 8)) return false;
    out = AttributeHeader{};
    out.type = in.le32Or0(offset);
    if (out.type == kAttrEnd) return false;
    // Only the low 16 bits: a record is 1024 bytes, and damaged high bits are common.
    out.length = in.le32Or0(offset + 4) & 0xFFFF;
    if (out.length < kResidentHeaderBytes || !in.has(offset, out.length)) return false;
    out.offset = offset;
    out.nonResident = in.u8Or0(offset + 8) != 0;
    out.nameLength = in.u8Or0(offset + 9);
    const uint16_t nameOffset = in.le16Or0(offset + 10);
    if (out.nameLength != 0 && uint32_t{nameOffset} + 2u * out.nameLength > out.length) out.nameLength = 0;
    out.flags = in.le16Or0(offset + 12);
    out.attributeId = in.le16Or0(offset + 14);
    if (!out.nonResident) {
        const uint32_t contentLength = in.le32Or0(offset + 16);
        const uint32_t contentOffset = in.le16Or0(offset + 20);
        if (contentOffset <= out.length) {
            out.contentOffset = offset + contentOffset;
            out.contentLength = std::min(contentLength, out.length - contentOffset);
        }
        return true;
    }
    if (out.length < kNonResidentHeaderBytes) {
        // Too short for its own form: walked past, never used.
        out.type = 0;
        return true;
    }
    out.firstVcn = in.le64Or0(offset + 16);
    out.lastVcn = in.le64Or0(offset + 24);
    const uint32_t pairsOffset = in.le16Or0(offset + 32);
    out.compressionUnit = in.le16Or0(offset + 34);
    out.allocatedSize = in.le64Or0(offset + 40);
    out.realSize = in.le64Or0(offset + 48);
    out.initializedSize = in.le64Or0(offset + 56);
    if (pairsOffset <= out.length) {
        out.mappingPairsOffset = offset + pairsOffset;
        out.mappingPairsLength = out.length - pairsOffset;
    }
    return true;
}

}  // namespace

platform::Bytes MftRecord::content(const AttributeHeader& attribute) const {
    if (attribute.nonResident) return {};
    return raw().subspan(attribute.contentOffset, attribute.contentLength);
}

platform::Bytes MftRecord::mappingPairs(const AttributeHeader& attribute) const {
    if (!attribute.nonResident) return {};
    return raw().subspan(attribute.mappingPairsOffset, attribute.mappingPairsLength);
}

platform::Bytes MftRecord::attributeName(const AttributeHeader& attribute) const {
    if (attribute.nameLength == 0) return {};
    const platform::ByteReader in(raw());
    const uint32_t nameOffset = in.le16Or0(attribute.offset + 10);
    return raw().subspan(attribute.offset + nameOffset, 2u * attribute.nameLength);
}

void decodeMftRecord(platform::Bytes source, MftRecord& record) {
    const size_t copied = std::min(source.size(), kMftRecordSize);
    std::memcpy(record.bytes.data(), source.data(), copied);
    std::memset(record.bytes.data() + copied, 0, kMftRecordSize - copied);
    record.attributeCount = 0;
    record.header = decodeHeader(platform::ByteReader(record.raw()));
    applyFixups(record);

    const platform::ByteReader in(record.raw());
    uint32_t position = record.header.firstAttributeOffset;
    while (record.attributeCount < kMaxAttributes) {
        AttributeHeader attribute;
        if (!decodeAttribute(in, position, attribute)) break;
        record.attributes[record.attributeCount++] = attribute;
        position += attribute.length;
    }
}

int64_t FileNameAttribute::parentIndex() const {
    uint64_t number = parentReference & 0xFFFFFFFFFFFFull;
    if (number & 0x800000000000ull) number |= 0xFFFF000000000000ull;
    return static_cast<int64_t>(number);
}

std::optional<FileNameAttribute> decodeFileName(const MftRecord& record, const AttributeHeader& attribute) {
    if (attribute.type != kAttrFileName || attribute.nonResident) return std::nullopt;
    const platform::Bytes content = record.content(attribute);
    const platform::ByteReader in(content);
    if (!in.has(0, 66)) return std::nullopt;
    FileNameAttribute name;
    name.parentReference = in.le64Or0(0);
    name.allocatedSize = in.le64Or0(40);
    name.realSize = in.le64Or0(48);
    name.fileAttributes = in.le32Or0(56);
    name.nameSpace = in.u8Or0(65);
    // Names of all lengths (255 included) are taken, cut to what the attribute holds.
    const size_t units = std::min<size_t>(in.u8Or0(64), (content.size() - 66) / 2);
    name.name = content.subspan(66, 2 * units);
    return name;
}

std::optional<StandardInformation> decodeStandardInformation(const MftRecord& record, const AttributeHeader& attribute) {
    if (attribute.type != kAttrStandardInformation || attribute.nonResident) return std::nullopt;
    const platform::ByteReader in(record.content(attribute));
    if (!in.has(0, 32)) return std::nullopt;
    StandardInformation info;
    info.creationTime = in.le64Or0(0);
    info.modificationTime = in.le64Or0(8);
    info.mftChangeTime = in.le64Or0(16);
    info.accessTime = in.le64Or0(24);
    return info;
}

std::vector<AttributeListEntry> decodeAttributeList(platform::Bytes list) {
    constexpr size_t kEntryBytes = 26;
    std::vector<AttributeListEntry> entries;
    const platform::ByteReader in(list);
    size_t position = 0;
    while (in.has(position, kEntryBytes)) {
        AttributeListEntry entry;
        entry.type = in.le32Or0(position);
        const uint16_t length = in.le16Or0(position + 4);
        if (entry.type == kAttrEnd || length < kEntryBytes || !in.has(position, length)) break;
        entry.nameLength = in.u8Or0(position + 6);
        entry.startingVcn = in.le64Or0(position + 8);
        entry.recordNumber = in.le64Or0(position + 16) & 0xFFFFFFFFFFFFull;
        entry.attributeId = in.le16Or0(position + 24);
        entries.push_back(entry);
        position += length;
    }
    return entries;
}

RecordSummary summarizeRecord(const MftRecord& record) {
    RecordSummary summary;
    bool haveLongName = false;
    for (const AttributeHeader& attribute : record) {
        const auto fileName = decodeFileName(record, attribute);
        if (!fileName) continue;
        if (!summary.hasFileName) summary.parentIndex = fileName->parentIndex();
        summary.hasFileName = true;
        summary.nameAllocatedSize = fileName->allocatedSize;
        summary.fileAttributes = fileName->fileAttributes;
        if (fileName->isDirectory()) summary.directory = true;
        // A long (Win32 or POSIX) name beats the DOS 8.3 alias wherever either is stored.
        if (!fileName->isDosOnly()) {
            summary.name = fileName->name;
            haveLongName = true;
        } else if (!haveLongName) {
            summary.name = fileName->name;
        }
    }
    return summary;
}

void decodeRecordForFuzzing(platform::Bytes bytes, DecodedMftRecord& out) {
    decodeMftRecord(bytes, out.record);
    out.summary = summarizeRecord(out.record);
}

}  // namespace vdrec::fs::ntfs
