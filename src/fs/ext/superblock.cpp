#include "fs/ext/superblock.h"

namespace vdrec::fs::ext {

namespace {

constexpr uint16_t kMagic = 0xEF53;
constexpr uint32_t kIncompatFileType = 0x2;
constexpr uint32_t kIncompatExtents = 0x40;
constexpr uint32_t kIncompat64Bit = 0x80;
constexpr uint32_t kRoCompatGroupChecksum = 0x10;
constexpr uint32_t kRoCompatMetadataChecksum = 0x400;
constexpr uint16_t kGroupInodesUninitialised = 0x1;

bool powerOfTwo(uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

uint64_t Superblock::groupCount() const {
    if (blocksPerGroup == 0 || blocksCount <= firstDataBlock) return 0;
    return (blocksCount - firstDataBlock + blocksPerGroup - 1) / blocksPerGroup;
}

std::optional<Superblock> decodeSuperblock(platform::Bytes bytes) {
    const platform::ByteReader in(bytes);
    if (!in.has(0, kSuperblockBytes) || in.le16Or0(56) != kMagic) return std::nullopt;
    const uint32_t logBlock = in.le32Or0(24);
    if (logBlock > 3) return std::nullopt;
    Superblock sb;
    sb.blockBytes = uint64_t{1024} << logBlock;
    sb.inodesCount = in.le32Or0(0);
    sb.freeInodes = in.le32Or0(16);
    sb.blocksCount = in.le32Or0(4);
    sb.firstDataBlock = in.le32Or0(20);
    sb.blocksPerGroup = in.le32Or0(32);
    sb.inodesPerGroup = in.le32Or0(40);
    const uint32_t revision = in.le32Or0(76);
    sb.inodeBytes = revision == 0 ? 128 : in.le16Or0(88);
    const uint32_t incompat = in.le32Or0(96);
    const uint32_t roCompat = in.le32Or0(100);
    sb.fileTypeInEntries = (incompat & kIncompatFileType) != 0;
    sb.extents = (incompat & kIncompatExtents) != 0;
    sb.trustsGroupFlags = (roCompat & (kRoCompatGroupChecksum | kRoCompatMetadataChecksum)) != 0;
    sb.descriptorBytes = 32;
    if (incompat & kIncompat64Bit) {
        sb.descriptorBytes = in.le16Or0(254);
        sb.blocksCount |= uint64_t{in.le32Or0(336)} << 32;
    }
    // One bitmap block maps a group's blocks and inodes: larger counts are not a superblock.
    const uint64_t bitsPerBlock = sb.blockBytes * 8;
    if (sb.blocksPerGroup == 0 || sb.blocksPerGroup > bitsPerBlock) return std::nullopt;
    if (sb.inodesPerGroup == 0 || sb.inodesPerGroup > bitsPerBlock) return std::nullopt;
    if (sb.inodeBytes < 128 || sb.inodeBytes > sb.blockBytes || !powerOfTwo(sb.inodeBytes)) return std::nullopt;
    if (sb.descriptorBytes < 32 || sb.descriptorBytes > sb.blockBytes || !powerOfTwo(sb.descriptorBytes))
        return std::nullopt;
    if (sb.groupCount() == 0) return std::nullopt;
    return sb;
}

std::vector<GroupDescriptor> decodeGroupDescriptors(platform::Bytes table, const Superblock& sb, uint64_t count) {
    std::vector<GroupDescriptor> groups;
    const platform::ByteReader in(table);
    const uint64_t size = sb.descriptorBytes;
    for (uint64_t g = 0; g < count && in.has(static_cast<size_t>(g * size), static_cast<size_t>(size)); ++g) {
        const size_t at = static_cast<size_t>(g * size);
        GroupDescriptor group;
        group.blockBitmap = in.le32Or0(at);
        group.inodeTable = in.le32Or0(at + 8);
        uint64_t unused = in.le16Or0(at + 28);
        if (size >= 64) {
            group.blockBitmap |= uint64_t{in.le32Or0(at + 32)} << 32;
            group.inodeTable |= uint64_t{in.le32Or0(at + 40)} << 32;
            unused |= uint64_t{in.le16Or0(at + 50)} << 16;
        }
        if (sb.trustsGroupFlags) {
            group.inodesUninitialised = (in.le16Or0(at + 18) & kGroupInodesUninitialised) != 0;
            group.unusedInodes = unused;
        }
        groups.push_back(group);
    }
    return groups;
}

}  // namespace vdrec::fs::ext
