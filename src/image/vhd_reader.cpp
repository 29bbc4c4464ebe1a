#include "image/vhd_reader.h"

#include <algorithm>
#include <cctype>

#include "image/image_messages.h"
#include "image/wizard_state.h"
#include "platform/byte_reader.h"

namespace vdrec::image {

bool hasExtension(const std::string& path, std::string_view extension) {
    if (path.size() < extension.size()) return false;
    const std::string_view tail = std::string_view(path).substr(path.size() - extension.size());
    return std::equal(tail.begin(), tail.end(), extension.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

bool VhdReader::openSource(const std::string& /*path*/, std::unique_ptr<platform::ByteSource> source) {
    if (!source) {
        sink_.message("Invalid handle.");
        return false;
    }
    source_ = std::move(source);
    fileLength = static_cast<int64_t>(source_->length());

    uint8_t headers[kVhdTableOffset] = {};
    platform::readFully(*source_, 0, headers, sizeof headers);
    const platform::ByteReader footer(platform::asBytes(headers, 512));
    const platform::ByteReader dynamicHeader(platform::asBytes(headers + 512, 1024));

    state_.totalSectors = footer.be64Or0(48) / kSectorSize;
    if (state_.enteredDiskSize != 0) state_.totalSectors = state_.enteredDiskSize / kSectorSize;

    const uint64_t entries = state_.enteredTableEntries != 0 ? state_.enteredTableEntries : dynamicHeader.be32Or0(28);
    const uint64_t tableBytes = entries * 4;
    if (tableBytes != 0 && kVhdTableOffset + tableBytes > source_->length()) {
        sink_.message(kHeaderTooLargeMessage);
        source_.reset();
        return false;
    }
    std::vector<uint8_t> table(tableBytes);
    if (platform::readFully(*source_, kVhdTableOffset, table.data(), table.size()) != static_cast<int64_t>(tableBytes)) {
        sink_.message(kHeaderTooLargeMessage);
        source_.reset();
        return false;
    }
    const platform::ByteReader entriesReader(platform::asBytes(table.data(), table.size()));
    blockMap.clear();
    blockMap.reserve(entries);
    for (uint64_t k = 0; k < entries; ++k) blockMap.push_back(entriesReader.be32Or0(k * 4));
    blockMapCount = blockMap.size();
    return true;
}

MappedReader::Run VhdReader::locate(uint64_t position) const {
    const uint64_t block = position / kVhdBlockBytes;
    if (block >= blockMap.size()) return {};
    const uint64_t within = position % kVhdBlockBytes;
    const uint64_t length = kVhdBlockBytes - within;
    const uint32_t entry = blockMap[block];
    if (entry == kVhdUnallocated) return {Run::Kind::Zero, 0, length};
    // Past the block's sector bitmap to the sector's data.
    return {Run::Kind::Stored, uint64_t{entry} * kSectorSize + kSectorSize + within, length};
}

uint64_t VhdReader::diskBytes() const { return state_.totalSectors * kSectorSize; }

}  // namespace vdrec::image
