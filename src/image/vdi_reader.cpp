#include "image/vdi_reader.h"

#include "image/image_messages.h"
#include "image/wizard_state.h"
#include "platform/byte_reader.h"

namespace vdrec::image {

VdiHeader decodeVdiHeader(std::span<const std::byte> bytes) {
    const platform::ByteReader in(bytes);
    VdiHeader header;
    header.version = in.le32Or0(68);
    header.headerSize = in.le32Or0(72);
    header.blockMapOffset = in.le32Or0(340);
    header.dataOffset = in.le32Or0(344);
    header.cylinders = in.le32Or0(348);
    header.heads = in.le32Or0(352);
    header.sectors = in.le32Or0(356);
    header.diskSize = in.le64Or0(368);
    header.blockSize = in.le32Or0(376);
    header.blockCount = in.le32Or0(384);
    header.allocatedBlocks = in.le32Or0(388);
    return header;
}

bool VdiReader::openSource(const std::string&, std::unique_ptr<platform::ByteSource> source) {
    if (!source) {
        sink_.message("Invalid handle.");
        return false;
    }
    source_ = std::move(source);
    fileLength = static_cast<int64_t>(source_->length());

    uint8_t raw[472] = {};
    platform::readFully(*source_, 0, raw, sizeof raw);
    header_ = decodeVdiHeader(platform::asBytes(raw, sizeof raw));
    if (header_.diskSize == 0 || header_.headerSize == 0 || header_.allocatedBlocks == 0 || header_.blockSize == 0) {
        source_.reset();
        return false;
    }

    const uint64_t mapBytes = uint64_t{header_.blockCount} * 4;
    if (uint64_t{header_.blockMapOffset} + mapBytes > source_->length()) {
        sink_.message(kHeaderTooLargeMessage);
        source_.reset();
        return false;
    }
    std::vector<uint8_t> map(mapBytes);
    platform::readFully(*source_, header_.blockMapOffset, map.data(), map.size());
    const platform::ByteReader entries(platform::asBytes(map.data(), map.size()));
    blockMap.clear();
    blockMap.reserve(header_.blockCount);
    for (uint64_t k = 0; k < header_.blockCount; ++k) blockMap.push_back(entries.le32Or0(k * 4));
    blockMapCount = blockMap.size();

    state_.totalSectors = header_.diskSize / kSectorSize;
    return true;
}

MappedReader::Run VdiReader::locate(uint64_t position) const {
    const uint64_t block = position / header_.blockSize;
    if (block >= blockMap.size()) return {};
    const uint64_t within = position % header_.blockSize;
    const uint64_t length = header_.blockSize - within;
    const uint32_t entry = blockMap[block];
    // Free blocks and blocks marked all-zero hold no data in the file.
    if (entry == kVdiUnallocated || entry == kVdiZeroBlock) return {Run::Kind::Zero, 0, length};
    return {Run::Kind::Stored, uint64_t{entry} * header_.blockSize + within + header_.dataOffset, length};
}

}  // namespace vdrec::image
