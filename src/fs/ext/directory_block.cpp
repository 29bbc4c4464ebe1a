#include "fs/ext/directory_block.h"

#include <algorithm>

#include "platform/text_format.h"

namespace vdrec::fs::ext {

namespace {

constexpr size_t kEntryHeader = 8;

size_t minimalLength(size_t nameLength) { return (kEntryHeader + nameLength + 3) & ~size_t{3}; }

struct Header {
    uint32_t inode;
    size_t recordLength;
    size_t nameLength;
    uint8_t fileType;
};

Header header(const platform::ByteReader& in, size_t at, bool fileType) {
    Header h{in.le32Or0(at), in.le16Or0(at + 4), 0, 0};
    if (fileType) {
        h.nameLength = in.u8Or0(at + 6);
        h.fileType = in.u8Or0(at + 7);
    } else {
        h.nameLength = in.le16Or0(at + 6);
    }
    return h;
}

bool plausibleName(platform::Bytes name) {
    for (std::byte b : name)
        if (b == std::byte{0} || b == std::byte{'/'}) return false;
    return true;
}

// Removed entries in [from, end): each must fit the gap and name an inode; the search steps by 4.
void scanGap(const platform::ByteReader& in, platform::Bytes block, size_t from, size_t end,
             const DirectoryBlockRules& rules, std::vector<DirectoryEntry>& out) {
    size_t at = from;
    while (at + kEntryHeader <= end) {
        const Header h = header(in, at, rules.fileTypeInEntries);
        const size_t length = minimalLength(h.nameLength);
        const bool fits = h.inode != 0 && h.inode <= rules.inodesCount && h.nameLength != 0 && at + length <= end &&
                          h.recordLength >= length && (!rules.fileTypeInEntries || (h.fileType >= 1 && h.fileType <= 7));
        const platform::Bytes name = fits ? block.subspan(at + kEntryHeader, h.nameLength) : platform::Bytes{};
        if (fits && plausibleName(name)) {
            out.push_back({h.inode, h.fileType,
                           std::string(reinterpret_cast<const char*>(name.data()), name.size()), true});
            at += length;
        } else {
            at += 4;
        }
    }
}

}  // namespace

std::vector<DirectoryEntry> parseDirectoryBlock(platform::Bytes block, const DirectoryBlockRules& rules) {
    std::vector<DirectoryEntry> out;
    const platform::ByteReader in(block);
    size_t at = 0;
    while (at + kEntryHeader <= block.size()) {
        const Header h = header(in, at, rules.fileTypeInEntries);
        if (h.recordLength == 0 || (h.recordLength & 3) != 0 || at + h.recordLength > block.size()) break;
        if (h.nameLength != 0) {
            const size_t length = minimalLength(h.nameLength);
            if (length > h.recordLength) break;
            const platform::Bytes name = block.subspan(at + kEntryHeader, h.nameLength);
            if (h.inode != 0 && h.inode <= rules.inodesCount)
                out.push_back({h.inode, h.fileType, std::string(reinterpret_cast<const char*>(name.data()), name.size()), false});
            if (rules.scanGaps) scanGap(in, block, at + length, at + h.recordLength, rules, out);
        }
        at += h.recordLength;
    }
    return out;
}

bool isAscii(std::string_view raw) {
    return std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

std::string nameText(std::string_view raw) {
    // Most names are plain ASCII, which is valid as it stands.
    if (isAscii(raw)) return std::string(raw);
    std::string out;
    out.reserve(raw.size());
    size_t k = 0;
    while (k < raw.size()) {
        const auto lead = static_cast<uint8_t>(raw[k]);
        size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        bool valid = length != 0 && k + length <= raw.size();
        uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (size_t j = 1; valid && j < length; ++j) {
            const auto next = static_cast<uint8_t>(raw[k + j]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (valid && length > 1) {
            static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
            valid = code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        }
        if (valid) {
            out.append(raw.substr(k, length));
            k += length;
        } else {
            out += platform::format("%%%02X", lead);
            ++k;
        }
    }
    return out;
}

}  // namespace vdrec::fs::ext
