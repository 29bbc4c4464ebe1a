#pragma once
// The fields of an ext inode that listing and saving use.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/byte_reader.h"
#include "platform/file_times.h"

namespace vdrec::fs::ext {

inline constexpr uint16_t kTypeMask = 0xF000;
inline constexpr uint16_t kTypeDirectory = 0x4000;
inline constexpr uint16_t kTypeRegular = 0x8000;
inline constexpr uint16_t kTypeSymlink = 0xA000;
inline constexpr size_t kBlockFieldBytes = 60;

struct Inode {
    uint16_t mode = 0;
    uint16_t links = 0;
    uint64_t size = 0;
    uint32_t flags = 0;
    uint32_t deletionTime = 0;
    uint64_t sectors = 0;  // i_blocks, low half: allocated 512-byte units
    uint64_t fileAcl = 0;  // the extended-attribute block, 0 when none
    platform::UnixTime accessed, changed, modified;
    std::array<std::byte, kBlockFieldBytes> blockField{};  // block map, extent tree or link text
    std::vector<std::byte> inlineValue;  // inline data past the block field (inline-data inodes only)

    uint16_t type() const { return mode & kTypeMask; }
    bool isDirectory() const { return type() == kTypeDirectory; }
    bool isRegular() const { return type() == kTypeRegular; }
    bool isSymlink() const { return type() == kTypeSymlink; }
    bool usesExtents() const { return (flags & 0x80000) != 0; }
    bool hasInlineData() const { return (flags & 0x10000000) != 0; }
    // A symbolic link whose target text sits in the block field instead of a data block. An
    // attribute block (a security label) counts in i_blocks too, so it is taken off first, as
    // the kernel does.
    bool isFastSymlink(uint64_t blockBytes) const {
        const uint64_t attributeSectors = fileAcl != 0 ? blockBytes / 512 : 0;
        return isSymlink() && !usesExtents() && !hasInlineData() && sectors == attributeSectors &&
               size < kBlockFieldBytes;
    }
};

// Nullopt when the bytes hold less than the 128-byte base inode.
std::optional<Inode> decodeInode(platform::Bytes bytes);

}  // namespace vdrec::fs::ext
