#include "image/vmdk_reader.h"

#include <algorithm>
#include <cctype>

#include "image/image_messages.h"
#include "image/wizard_state.h"
#include "platform/byte_reader.h"

namespace vdrec::image {

namespace {

constexpr uint64_t kTableCacheBytes = 64ull << 20;
// Descriptors are a few hundred bytes; anything larger is not a descriptor worth parsing.
constexpr uint64_t kDescriptorLimit = 1ull << 20;
// Grains are 64 KiB in practice; a grain of more than 2^32 sectors is a damaged header.
constexpr uint64_t kGrainSizeLimit = 1ull << 32;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

VmdkHeader decodeVmdkHeader(std::span<const std::byte> bytes) {
    const platform::ByteReader in(bytes);
    VmdkHeader header;
    header.magic = in.le32Or0(0);
    header.capacity = in.le64Or0(12);
    header.grainSize = in.le64Or0(20);
    header.descriptorOffset = in.le64Or0(28);
    header.descriptorSize = in.le64Or0(36);
    header.grainTableEntries = in.le32Or0(44);
    header.redundantDirectoryOffset = in.le64Or0(48);
    return header;
}

bool hasEmbeddedDescriptor(const VmdkHeader& header) {
    return header.descriptorOffset > 0 && header.descriptorOffset < header.capacity && header.descriptorSize > 0 &&
           header.descriptorSize < header.capacity;
}

bool VmdkReader::openSource(const std::string&, std::unique_ptr<platform::ByteSource> source) {
    if (!source) return false;
    source_ = std::move(source);
    fileLength = static_cast<int64_t>(source_->length());
    const uint64_t length = source_->length();

    uint8_t raw[512] = {};
    platform::readFully(*source_, 0, raw, sizeof raw);
    header_ = decodeVmdkHeader(platform::asBytes(raw, sizeof raw));
    if (header_.magic != kVmdkMagic) {
        // Not a hosted sparse extent: one empty extent, nothing mappable.
        descriptor_.extents.push_back({});
        return true;
    }

    std::string descriptorText;
    if (hasEmbeddedDescriptor(header_)) {
        const uint64_t offset = header_.descriptorOffset * kSectorSize;
        const uint64_t size = std::min({header_.descriptorSize * kSectorSize, kDescriptorLimit,
                                        offset < length ? length - offset : 0});
        descriptorText.resize(size);
        const int64_t got = platform::readFully(*source_, offset, descriptorText.data(), size);
        descriptorText.resize(got > 0 ? static_cast<size_t>(got) : 0);
    }

    // Derived geometry; a table or directory larger than the file is refused, not allocated.
    const auto perTable = platform::checkedMul(header_.grainSize, header_.grainTableEntries);
    if (header_.grainSize == 0 || header_.grainSize > kGrainSizeLimit || header_.grainTableEntries == 0 || !perTable ||
        uint64_t{header_.grainTableEntries} * 4 > length) {
        sink_.message(kHeaderTooLargeMessage);
        source_.reset();
        return false;
    }
    sectorsPerTable_ = *perTable;
    const uint64_t directoryEntries = header_.capacity / sectorsPerTable_ + (header_.capacity % sectorsPerTable_ != 0);
    const auto directoryOffset = platform::checkedMul(header_.redundantDirectoryOffset, kSectorSize);
    if (directoryEntries * 4 > length || !directoryOffset) {
        sink_.message(kHeaderTooLargeMessage);
        source_.reset();
        return false;
    }
    std::vector<uint8_t> directory(directoryEntries * 4);
    platform::readFully(*source_, *directoryOffset, directory.data(), directory.size());
    const platform::ByteReader entries(platform::asBytes(directory.data(), directory.size()));
    directory_.resize(directoryEntries);
    for (uint64_t d = 0; d < directoryEntries; ++d) directory_[d] = static_cast<int32_t>(entries.le32Or0(d * 4));

    if (descriptorText.empty()) return true;
    auto parsed = parseVmdkDescriptor(descriptorText);
    if (!parsed) {
        source_.reset();
        return false;
    }
    descriptor_ = std::move(*parsed);
    if (!descriptor_.extents.empty()) {
        const std::string& first = descriptor_.extents.front().type;
        sparse_ = equalsIgnoringCase(first, "SPARSE") || equalsIgnoringCase(descriptor_.extentType, "SPARSE");
        flat_ = !sparse_ && (equalsIgnoringCase(first, "FLAT") || equalsIgnoringCase(descriptor_.extentType, "FLAT"));
    }
    state_.totalSectors = descriptor_.totalSectors();
    return true;
}

const std::vector<int32_t>* VmdkReader::grainTable(uint64_t directoryIndex) const {
    if (auto found = tables_.find(directoryIndex); found != tables_.end()) return &found->second;
    const int32_t tableSector = directory_[directoryIndex];
    const uint64_t tableBytes = uint64_t{header_.grainTableEntries} * 4;
    std::vector<uint8_t> raw(tableBytes);
    platform::readFully(*source_, uint64_t(tableSector) * kSectorSize, raw.data(), raw.size());
    const platform::ByteReader in(platform::asBytes(raw.data(), raw.size()));
    std::vector<int32_t> table(header_.grainTableEntries);
    for (uint64_t k = 0; k < table.size(); ++k) table[k] = static_cast<int32_t>(in.le32Or0(k * 4));
    if (cachedBytes_ + tableBytes > kTableCacheBytes) {
        tables_.clear();
        cachedBytes_ = 0;
    }
    cachedBytes_ += tableBytes;
    return &tables_.emplace(directoryIndex, std::move(table)).first->second;
}

uint64_t VmdkReader::size() const {
    if (flat_) return std::max<uint64_t>(static_cast<uint64_t>(fileLength), state_.totalSectors * kSectorSize);
    if (!sparse_) return 0;
    return directory_.size() * sectorsPerTable_ * kSectorSize;
}

MappedReader::Run VmdkReader::locate(uint64_t position) const {
    if (flat_) {
        const uint64_t end = static_cast<uint64_t>(fileLength);
        if (position >= end) return {Run::Kind::Zero, 0, UINT64_MAX};
        return {Run::Kind::Stored, position, end - position};
    }
    if (!sparse_) return {};

    const uint64_t sector = position / kSectorSize;
    const uint64_t directoryIndex = sector / sectorsPerTable_;
    if (directoryIndex >= directory_.size()) return {};
    const uint64_t sectorInGrain = sector % header_.grainSize;
    const uint64_t length = (header_.grainSize - sectorInGrain) * kSectorSize - position % kSectorSize;
    if (directory_[directoryIndex] <= 0) return {Run::Kind::Zero, 0, length};

    const std::vector<int32_t>& table = *grainTable(directoryIndex);
    const uint64_t tableIndex = (sector % sectorsPerTable_) / header_.grainSize;
    const int32_t grain = table[tableIndex];
    // 0: never allocated; 1: a grain marked as zeros.
    if (grain <= 1) return {Run::Kind::Zero, 0, length};
    return {Run::Kind::Stored, (uint64_t(grain) + sectorInGrain) * kSectorSize + position % kSectorSize, length};
}

}  // namespace vdrec::image
