#pragma once
// The ext2/3/4 superblock and group descriptors: where the groups' inode tables lie and which
// of their slots hold inodes.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/byte_reader.h"

namespace vdrec::fs::ext {

inline constexpr uint64_t kSuperblockBytes = 1024;
inline constexpr uint64_t kMaxBlockBytes = 8192;

struct Superblock {
    uint64_t inodesCount = 0;
    uint64_t freeInodes = 0;  // a hint only: sizes the scan's tables
    uint64_t blocksCount = 0;  // with the high half on 64bit volumes
    uint64_t firstDataBlock = 0;
    uint64_t blockBytes = 0;
    uint64_t blocksPerGroup = 0;
    uint64_t inodesPerGroup = 0;
    uint64_t inodeBytes = 0;
    uint64_t descriptorBytes = 0;  // 32, or s_desc_size on 64bit volumes
    bool fileTypeInEntries = false;
    bool extents = false;
    // Group flags and the unused-inode count are kept only when checksummed descriptors vouch
    // for them.
    bool trustsGroupFlags = false;

    uint64_t groupCount() const;
};

// Nullopt unless the 1024 bytes are a superblock whose geometry a volume can have: magic 0xEF53,
// blocks of at most 8 KiB, inodes that fit a block, groups no larger than one bitmap block maps.
std::optional<Superblock> decodeSuperblock(platform::Bytes bytes);

struct GroupDescriptor {
    uint64_t blockBitmap = 0;  // block number
    uint64_t inodeTable = 0;   // block number
    bool inodesUninitialised = false;
    uint64_t unusedInodes = 0;  // slots at the table's end never used
};

// The descriptors of `count` groups from the table's bytes; a short table gives fewer.
std::vector<GroupDescriptor> decodeGroupDescriptors(platform::Bytes table, const Superblock& superblock, uint64_t count);

}  // namespace vdrec::fs::ext
