#pragma once
// Directory entry sets: a File entry, its Stream Extension and its File Name entries, live
// (0x85, 0xC0, 0xC1) or deleted (0x05, 0x40, 0x41).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/byte_reader.h"

namespace vdrec::fs::exfat {

inline constexpr size_t kEntryBytes = 32;

namespace entry_type {
inline constexpr uint8_t kFile = 0x85;
inline constexpr uint8_t kDeletedFile = 0x05;
inline constexpr uint8_t kStream = 0xC0;
inline constexpr uint8_t kDeletedStream = 0x40;
inline constexpr uint8_t kFileName = 0xC1;
inline constexpr uint8_t kDeletedFileName = 0x41;
inline constexpr uint8_t kVolumeLabel = 0x83;
}  // namespace entry_type

namespace attribute {
inline constexpr uint16_t kReadOnly = 0x01;
inline constexpr uint16_t kHidden = 0x02;
inline constexpr uint16_t kSystem = 0x04;
inline constexpr uint16_t kDirectory = 0x10;
inline constexpr uint16_t kArchive = 0x20;
}  // namespace attribute

// GeneralSecondaryFlags bit: the data is one run of consecutive clusters and the FAT holds no
// chain for it.
inline constexpr uint8_t kNoFatChain = 0x02;

// The fields of one entry set that the parser uses.
struct EntrySet {
    bool deleted = false;
    uint16_t attributes = 0;
    uint32_t createTimestamp = 0, modifiedTimestamp = 0, accessedTimestamp = 0;
    uint8_t create10ms = 0, modified10ms = 0;
    uint8_t createUtcOffset = 0, modifiedUtcOffset = 0, accessedUtcOffset = 0;
    uint8_t streamFlags = 0;
    uint8_t nameLength = 0;
    uint64_t validDataLength = 0;
    uint32_t firstCluster = 0;
    uint64_t dataLength = 0;
    std::string name;  // UTF-8

    bool isFolder() const { return (attributes & attribute::kDirectory) != 0; }
    bool contiguous() const { return (streamFlags & kNoFatChain) != 0; }
};

struct DecodedSet {
    EntrySet set;
    size_t entries = 0;  // entries the set covers, its File entry included
};

// The set whose File entry is at byte `at` of `stream`, a directory's entries in order. Every
// set stands alone: a set without a Stream Extension is not one. The name is NameLength
// characters from the ceil(NameLength / 15) File Name entries the set's SecondaryCount covers,
// so stale name entries after a shorter name never extend it. Deleted sets may be partly
// overwritten: decoding stops at the first entry of the wrong kind.
std::optional<DecodedSet> decodeEntrySet(platform::Bytes stream, size_t at);

// A strict test for the advanced scan, where any bytes may look like a File entry: the set's
// reserved fields are zero, its Stream Extension and all its name entries are there, and it
// fits in `stream`.
bool plausibleEntrySet(platform::Bytes stream, size_t at);

}  // namespace vdrec::fs::exfat
