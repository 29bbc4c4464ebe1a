#pragma once
// Builds FILE records byte by byte for the cases real tools never write: damaged fields,
// attribute lists, names in unusual order. The update-sequence array is applied as NTFS does on
// write, so the parser must undo it.

#include <cstdint>
#include <string>
#include <vector>

namespace vdrec::fs::ntfs::test {

class RecordBuilder {
public:
    explicit RecordBuilder(uint16_t flags = 1, uint32_t recordNumber = 0);

    RecordBuilder& standardInformation(uint64_t created, uint64_t modified, uint64_t accessed);
    RecordBuilder& fileName(uint64_t parent, const std::u16string& name, uint8_t nameSpace, uint32_t fileAttributes = 0x20);
    RecordBuilder& residentData(const std::vector<uint8_t>& content, const std::u16string& streamName = u"");
    RecordBuilder& nonResidentData(const std::vector<uint8_t>& mappingPairs, uint64_t firstVcn, uint64_t lastVcn,
                                   uint64_t realSize, uint64_t initializedSize, uint16_t flags = 0,
                                   const std::u16string& streamName = u"", uint16_t compressionUnit = 0);
    struct ListEntry {
        uint32_t type;
        uint64_t startingVcn;
        uint64_t record;
        uint8_t nameLength = 0;
        uint16_t attributeId = 0;  // of the attribute in `record`; the builder numbers them from 0
    };
    RecordBuilder& attributeList(const std::vector<ListEntry>& entries);
    RecordBuilder& baseRecord(uint64_t base);

    // The finished 1024 bytes, end marker and update sequence in place.
    std::vector<uint8_t> bytes() const;

private:
    size_t beginAttribute(uint32_t type, bool nonResident, const std::u16string& name, size_t headerBytes);
    void endAttribute(size_t start);
    void put16(size_t at, uint16_t v);
    void put32(size_t at, uint32_t v);
    void put64(size_t at, uint64_t v);

    std::vector<uint8_t> bytes_;
    size_t position_ = 56;
    uint16_t nextId_ = 0;
};

// Mapping pairs for runs of (lcn, length); lcn < 0 writes a sparse run.
std::vector<uint8_t> mappingPairs(const std::vector<std::pair<int64_t, uint64_t>>& runs);

}  // namespace vdrec::fs::ntfs::test
