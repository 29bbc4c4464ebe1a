#pragma once
// The entries of one directory block: the live ones in their chain, and removed ones still
// readable in the gap an entry's record length leaves behind it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_reader.h"

namespace vdrec::fs::ext {

struct DirectoryEntry {
    uint32_t inode = 0;
    uint8_t fileType = 0;  // 1 regular, 2 directory, ...; 0 without the file-type feature
    std::string name;      // raw bytes
    bool removed = false;  // found in a gap
};

struct DirectoryBlockRules {
    bool fileTypeInEntries = false;
    uint64_t inodesCount = 0;  // inode numbers above this name nothing
    bool scanGaps = true;      // false for hash-index blocks, whose gaps hold index data
};

// Live entries with inode 0 are left out; "." and ".." are kept. The chain stops at an entry
// that would pass the block's end.
std::vector<DirectoryEntry> parseDirectoryBlock(platform::Bytes block, const DirectoryBlockRules& rules);

bool isAscii(std::string_view raw);

// The name as UTF-8: valid sequences stay, each invalid byte becomes "%XX".
std::string nameText(std::string_view raw);
// The same appended to `out`.
template <typename Text>
void appendNameText(Text& out, std::string_view raw) {
    if (isAscii(raw)) out.append(raw.data(), raw.size());
    else out += nameText(raw);
}

}  // namespace vdrec::fs::ext
