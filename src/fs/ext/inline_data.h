#pragma once
// Inline data (EXT4_INLINE_DATA_FL): a small file's or folder's bytes kept in the inode itself,
// the 60-byte block field first, then the value of the "system.data" extended attribute in the
// inode's extra space.

#include <cstdint>
#include <string>
#include <vector>

#include "fs/ext/directory_block.h"
#include "fs/ext/inode.h"
#include "platform/byte_reader.h"

namespace vdrec::fs::ext {

// The "system.data" value among the attributes after the inode's extra fields; empty when the
// inode holds none or its bounds do not fit the inode.
std::vector<std::byte> inlineDataValue(platform::Bytes inodeBytes);

// A file's inline bytes, at most `size`: fewer when the inode holds fewer (the rest is lost).
std::string inlineFileBytes(const Inode& inode, uint64_t size);

// A folder's inline entries: after the parent's inode number in the block field, then in the
// attribute value. There is no "." or "..".
std::vector<DirectoryEntry> inlineDirectoryEntries(const Inode& inode, const DirectoryBlockRules& rules);

}  // namespace vdrec::fs::ext
