#include "fs/exfat/entry_set.h"

#include <algorithm>
#include <array>

#include "platform/text_format.h"

namespace vdrec::fs::exfat {

namespace {

constexpr size_t kNameCharsPerEntry = 15;

bool isFileEntry(uint8_t type) { return type == entry_type::kFile || type == entry_type::kDeletedFile; }
bool isStream(uint8_t type) { return type == entry_type::kStream || type == entry_type::kDeletedStream; }
bool isFileName(uint8_t type) { return type == entry_type::kFileName || type == entry_type::kDeletedFileName; }

bool allZero(const platform::ByteReader& in, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k)
        if (in.u8Or0(k) != 0) return false;
    return true;
}

size_t nameEntriesFor(uint8_t nameLength) { return (nameLength + kNameCharsPerEntry - 1) / kNameCharsPerEntry; }

}  // namespace

std::optional<DecodedSet> decodeEntrySet(platform::Bytes stream, size_t at) {
    const platform::ByteReader in(stream);
    if (!in.has(at, 2 * kEntryBytes)) return std::nullopt;
    const uint8_t type = in.u8Or0(at);
    if (!isFileEntry(type)) return std::nullopt;
    const size_t secondaryCount = in.u8Or0(at + 1);
    const size_t stream0 = at + kEntryBytes;
    if (secondaryCount < 1 || !isStream(in.u8Or0(stream0))) return std::nullopt;

    DecodedSet decoded;
    EntrySet& set = decoded.set;
    set.deleted = type == entry_type::kDeletedFile;
    set.attributes = in.le16Or0(at + 4);
    set.createTimestamp = in.le32Or0(at + 8);
    set.modifiedTimestamp = in.le32Or0(at + 12);
    set.accessedTimestamp = in.le32Or0(at + 16);
    set.create10ms = in.u8Or0(at + 20);
    set.modified10ms = in.u8Or0(at + 21);
    set.createUtcOffset = in.u8Or0(at + 22);
    set.modifiedUtcOffset = in.u8Or0(at + 23);
    set.accessedUtcOffset = in.u8Or0(at + 24);
    set.streamFlags = in.u8Or0(stream0 + 1);
    set.nameLength = in.u8Or0(stream0 + 3);
    set.validDataLength = in.le64Or0(stream0 + 8);
    set.firstCluster = in.le32Or0(stream0 + 20);
    set.dataLength = in.le64Or0(stream0 + 24);

    // Name entries follow the stream entry, within the set's SecondaryCount.
    const size_t wanted = std::min(nameEntriesFor(set.nameLength), secondaryCount - 1);
    std::array<uint8_t, 255 * 2> units{};
    size_t chars = 0, entries = 2;
    for (size_t k = 0; k < wanted; ++k, ++entries) {
        const size_t entry = stream0 + (k + 1) * kEntryBytes;
        if (!in.has(entry, kEntryBytes) || !isFileName(in.u8Or0(entry))) break;
        for (size_t c = 0; c < kNameCharsPerEntry && chars < set.nameLength; ++c, ++chars) {
            units[2 * chars] = in.u8Or0(entry + 2 + 2 * c);
            units[2 * chars + 1] = in.u8Or0(entry + 3 + 2 * c);
        }
    }
    set.name = platform::utf16leToUtf8(units.data(), chars);
    decoded.entries = entries;
    return decoded;
}

bool plausibleEntrySet(platform::Bytes stream, size_t at) {
    const platform::ByteReader in(stream);
    if (!in.has(at, 2 * kEntryBytes) || !isFileEntry(in.u8Or0(at))) return false;
    // Bytes 6-7 and 25-31 of a File entry are reserved.
    if (in.le16Or0(at + 6) != 0 || !allZero(in, at + 25, at + 32)) return false;
    const size_t secondaryCount = in.u8Or0(at + 1);
    const size_t s = at + kEntryBytes;
    if (!isStream(in.u8Or0(s)) || in.u8Or0(s + 2) != 0 || in.le16Or0(s + 6) != 0 || in.le32Or0(s + 16) != 0)
        return false;
    const uint8_t flags = in.u8Or0(s + 1);
    if (flags != 0x01 && flags != 0x03) return false;
    const uint8_t nameLength = in.u8Or0(s + 3);
    const size_t names = nameEntriesFor(nameLength);
    if (nameLength == 0 || secondaryCount < names + 1) return false;
    for (size_t k = 1; k <= names; ++k) {
        const size_t entry = s + k * kEntryBytes;
        if (!in.has(entry, kEntryBytes) || !isFileName(in.u8Or0(entry)) || in.u8Or0(entry + 1) > 3) return false;
    }
    return true;
}

}  // namespace vdrec::fs::exfat
