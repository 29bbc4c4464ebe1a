#include "fs/ext/inline_data.h"

#include <algorithm>

#include "fs/ext/ext_volume.h"

namespace vdrec::fs::ext {

namespace {

constexpr size_t kBaseInodeBytes = 128;
constexpr uint32_t kAttributeMagic = 0xEA020000;
constexpr size_t kAttributeEntryHeader = 16;
constexpr uint8_t kSystemNameIndex = 7;
// The parent's inode number opens an inline folder's block field.
constexpr size_t kParentFieldBytes = 4;

}  // namespace

std::vector<std::byte> inlineDataValue(platform::Bytes inodeBytes) {
    const platform::ByteReader in(inodeBytes);
    const auto extraBytes = in.le16(kBaseInodeBytes);
    if (!extraBytes) return {};
    const size_t header = kBaseInodeBytes + *extraBytes;
    if (in.le32(header) != kAttributeMagic) return {};
    // Value offsets count from the first entry, right after the magic.
    const size_t first = header + 4;
    // Each step moves forward by at least one entry header, so the walk ends within the inode.
    for (size_t at = first; in.has(at, kAttributeEntryHeader) && in.le32Or0(at) != 0;) {
        const uint8_t nameLength = in.u8Or0(at);
        const uint8_t nameIndex = in.u8Or0(at + 1);
        const uint16_t valueOffset = in.le16Or0(at + 2);
        const uint32_t valueInode = in.le32Or0(at + 4);
        const uint32_t valueSize = in.le32Or0(at + 8);
        if (nameIndex == kSystemNameIndex && in.matches(at + kAttributeEntryHeader, "data") && nameLength == 4 &&
            valueInode == 0) {
            const auto value = in.sub(first + valueOffset, valueSize);
            if (!value) return {};
            return std::vector<std::byte>(value->begin(), value->end());
        }
        at += (kAttributeEntryHeader + nameLength + 3) & ~size_t{3};
    }
    return {};
}

std::string inlineFileBytes(const Inode& inode, uint64_t size) {
    std::string out(reinterpret_cast<const char*>(inode.blockField.data()),
                    static_cast<size_t>(std::min<uint64_t>(size, kBlockFieldBytes)));
    if (size > kBlockFieldBytes) {
        const size_t rest = static_cast<size_t>(std::min<uint64_t>(size - kBlockFieldBytes, inode.inlineValue.size()));
        out.append(reinterpret_cast<const char*>(inode.inlineValue.data()), rest);
    }
    return out;
}

std::vector<DirectoryEntry> inlineDirectoryEntries(const Inode& inode, const DirectoryBlockRules& rules) {
    const platform::Bytes field(inode.blockField.data(), inode.blockField.size());
    std::vector<DirectoryEntry> entries = parseDirectoryBlock(field.subspan(kParentFieldBytes), rules);
    if (!inode.inlineValue.empty()) {
        auto more = parseDirectoryBlock(platform::Bytes(inode.inlineValue.data(), inode.inlineValue.size()), rules);
        entries.insert(entries.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    return entries;
}

void ExtVolume::readInlineDirectory(uint32_t inode, const Inode& record) {
    const Superblock& sb = *superblock_;
    const DirectoryBlockRules rules{sb.fileTypeInEntries, sb.inodesCount, true};
    for (const DirectoryEntry& entry : inlineDirectoryEntries(record, rules)) {
        const std::string text = nameText(entry.name);
        names_.push_back({inode, entry.inode, entry.fileType, entry.removed, namePool_.size(),
                          static_cast<uint32_t>(text.size())});
        namePool_ += text;
    }
}

}  // namespace vdrec::fs::ext
