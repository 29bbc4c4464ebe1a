#include "fs/ntfs/record_builder.h"

#include <cstring>

namespace vdrec::fs::ntfs::test {

RecordBuilder::RecordBuilder(uint16_t flags, uint32_t recordNumber) : bytes_(1024) {
    std::memcpy(bytes_.data(), "FILE", 4);
    put16(4, 48);  // update sequence array at 48: number + two saved words
    put16(6, 3);
    put16(16, 1);
    put16(18, 1);
    put16(20, 56);
    put16(22, flags);
    put32(28, 1024);
    put32(44, recordNumber);
}

void RecordBuilder::put16(size_t at, uint16_t v) { for (int k = 0; k < 2; ++k) bytes_.at(at + k) = uint8_t(v >> (8 * k)); }
void RecordBuilder::put32(size_t at, uint32_t v) { for (int k = 0; k < 4; ++k) bytes_.at(at + k) = uint8_t(v >> (8 * k)); }
void RecordBuilder::put64(size_t at, uint64_t v) { for (int k = 0; k < 8; ++k) bytes_.at(at + k) = uint8_t(v >> (8 * k)); }

size_t RecordBuilder::beginAttribute(uint32_t type, bool nonResident, const std::u16string& name, size_t headerBytes) {
    const size_t start = position_;
    put32(start, type);
    bytes_.at(start + 8) = nonResident ? 1 : 0;
    bytes_.at(start + 9) = uint8_t(name.size());
    put16(start + 10, uint16_t(headerBytes));
    put16(start + 14, nextId_++);
    for (size_t k = 0; k < name.size(); ++k) put16(start + headerBytes + 2 * k, uint16_t(name[k]));
    position_ = start + headerBytes + ((2 * name.size() + 7) & ~size_t{7});
    return start;
}

void RecordBuilder::endAttribute(size_t start) {
    position_ = (position_ + 7) & ~size_t{7};
    put32(start + 4, uint32_t(position_ - start));
}

RecordBuilder& RecordBuilder::standardInformation(uint64_t created, uint64_t modified, uint64_t accessed) {
    const size_t start = beginAttribute(0x10, false, u"", 24);
    put32(start + 16, 72);
    put16(start + 20, 24);
    put64(start + 24, created);
    put64(start + 32, modified);
    put64(start + 40, modified);
    put64(start + 48, accessed);
    position_ = start + 24 + 72;
    endAttribute(start);
    return *this;
}

RecordBuilder& RecordBuilder::fileName(uint64_t parent, const std::u16string& name, uint8_t nameSpace, uint32_t fileAttributes) {
    const size_t start = beginAttribute(0x30, false, u"", 24);
    const size_t content = start + 24;
    const size_t length = 66 + 2 * name.size();
    put32(start + 16, uint32_t(length));
    put16(start + 20, 24);
    put64(content, parent | (uint64_t{1} << 48));
    put32(content + 56, fileAttributes);
    bytes_.at(content + 64) = uint8_t(name.size());
    bytes_.at(content + 65) = nameSpace;
    for (size_t k = 0; k < name.size(); ++k) put16(content + 66 + 2 * k, uint16_t(name[k]));
    position_ = content + length;
    endAttribute(start);
    return *this;
}

RecordBuilder& RecordBuilder::residentData(const std::vector<uint8_t>& content, const std::u16string& streamName) {
    const size_t start = beginAttribute(0x80, false, streamName, 24);
    const size_t contentOffset = position_ - start;
    put32(start + 16, uint32_t(content.size()));
    put16(start + 20, uint16_t(contentOffset));
    std::memcpy(bytes_.data() + position_, content.data(), content.size());
    position_ += content.size();
    endAttribute(start);
    return *this;
}

RecordBuilder& RecordBuilder::nonResidentData(const std::vector<uint8_t>& pairs, uint64_t firstVcn, uint64_t lastVcn,
                                              uint64_t realSize, uint64_t initializedSize, uint16_t flags,
                                              const std::u16string& streamName, uint16_t compressionUnit) {
    const size_t start = beginAttribute(0x80, true, streamName, 64);
    put16(start + 12, flags);
    put64(start + 16, firstVcn);
    put64(start + 24, lastVcn);
    put16(start + 32, uint16_t(position_ - start));
    put16(start + 34, compressionUnit);
    put64(start + 40, (lastVcn + 1) * 4096);
    put64(start + 48, realSize);
    put64(start + 56, initializedSize);
    std::memcpy(bytes_.data() + position_, pairs.data(), pairs.size());
    position_ += pairs.size() + 1;  // terminator
    endAttribute(start);
    return *this;
}

RecordBuilder& RecordBuilder::attributeList(const std::vector<ListEntry>& entries) {
    const size_t start = beginAttribute(0x20, false, u"", 24);
    put32(start + 16, uint32_t(entries.size() * 32));
    put16(start + 20, 24);
    size_t at = start + 24;
    for (const ListEntry& e : entries) {
        put32(at, e.type);
        put16(at + 4, 32);
        bytes_.at(at + 6) = e.nameLength;
        bytes_.at(at + 7) = 26;
        put64(at + 8, e.startingVcn);
        put64(at + 16, e.record | (uint64_t{1} << 48));
        put16(at + 24, e.attributeId);
        at += 32;
    }
    position_ = at;
    endAttribute(start);
    return *this;
}

RecordBuilder& RecordBuilder::baseRecord(uint64_t base) {
    put64(32, base | (uint64_t{1} << 48));
    return *this;
}

std::vector<uint8_t> RecordBuilder::bytes() const {
    std::vector<uint8_t> out = bytes_;
    for (int k = 0; k < 4; ++k) out.at(position_ + k) = 0xFF;
    const uint32_t used = uint32_t(position_ + 8);
    for (int k = 0; k < 4; ++k) out.at(24 + k) = uint8_t(used >> (8 * k));
    // Save each sector's last word in the array and stamp the sequence number there.
    const uint16_t sequence = 0x0007;
    out[48] = uint8_t(sequence);
    out[49] = uint8_t(sequence >> 8);
    for (int s = 1; s <= 2; ++s) {
        const size_t end = 512 * s - 2;
        out[48 + 2 * s] = out[end];
        out[49 + 2 * s] = out[end + 1];
        out[end] = uint8_t(sequence);
        out[end + 1] = uint8_t(sequence >> 8);
    }
    return out;
}

std::vector<uint8_t> mappingPairs(const std::vector<std::pair<int64_t, uint64_t>>& runs) {
    std::vector<uint8_t> out;
    int64_t previous = 0;
    for (const auto& [lcn, length] : runs) {
        std::vector<uint8_t> lengthBytes;
        for (uint64_t v = length; v != 0 || lengthBytes.empty(); v >>= 8) lengthBytes.push_back(uint8_t(v));
        if (lengthBytes.back() & 0x80) lengthBytes.push_back(0);
        std::vector<uint8_t> offsetBytes;
        if (lcn >= 0) {
            int64_t delta = lcn - previous;
            previous = lcn;
            do {
                offsetBytes.push_back(uint8_t(delta));
                delta >>= 8;
            } while (!((delta == 0 && !(offsetBytes.back() & 0x80)) || (delta == -1 && (offsetBytes.back() & 0x80))));
        }
        out.push_back(uint8_t(offsetBytes.size() << 4 | lengthBytes.size()));
        out.insert(out.end(), lengthBytes.begin(), lengthBytes.end());
        out.insert(out.end(), offsetBytes.begin(), offsetBytes.end());
    }
    return out;
}

}  // namespace vdrec::fs::ntfs::test
