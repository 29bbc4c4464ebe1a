#pragma once
// The 32-byte directory slot: the short (8.3) entry, the long-name slot, and how their names
// read. Decoding never reads past the slot.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/byte_reader.h"

namespace vdrec::fs::fat {

inline constexpr size_t kSlotBytes = 32;

namespace attribute {
inline constexpr uint8_t kReadOnly = 0x01;
inline constexpr uint8_t kHidden = 0x02;
inline constexpr uint8_t kSystem = 0x04;
inline constexpr uint8_t kLabel = 0x08;
inline constexpr uint8_t kDirectory = 0x10;
inline constexpr uint8_t kArchive = 0x20;
inline constexpr uint8_t kLongName = 0x0F;
}  // namespace attribute

inline constexpr uint8_t kDeletedMark = 0xE5;

// The list's attribute text: "-R", "-H", "-S", "-A" for the bits set. exFAT keeps the same bits.
std::string attributeText(uint16_t attributes);

inline bool isLongNameSlot(uint8_t attributes) { return (attributes & 0x3F) == attribute::kLongName; }
inline bool isLabel(uint8_t attributes) { return !isLongNameSlot(attributes) && (attributes & attribute::kLabel); }
// A folder is a directory-flagged slot that is neither a long-name slot nor a label; every other
// slot that is not a label is a file, whatever its read-only, hidden or system bits say.
inline bool isFolderAttribute(uint8_t attributes) {
    return !isLongNameSlot(attributes) && !isLabel(attributes) && (attributes & attribute::kDirectory);
}
inline bool isFileAttribute(uint8_t attributes) {
    return !isLongNameSlot(attributes) && !isLabel(attributes) && !(attributes & attribute::kDirectory);
}

struct ShortEntry {
    std::array<uint8_t, 11> name{};
    uint8_t attributes = 0;
    uint8_t caseFlags = 0;  // 0x08: base in lower case, 0x10: extension in lower case
    uint8_t creationTenths = 0;
    uint16_t creationTime = 0;
    uint16_t creationDate = 0;
    uint16_t accessDate = 0;
    uint16_t firstClusterHigh = 0;
    uint16_t writeTime = 0;
    uint16_t writeDate = 0;
    uint16_t firstClusterLow = 0;
    uint32_t size = 0;

    uint64_t firstCluster() const { return (uint64_t{firstClusterHigh} << 16) | firstClusterLow; }
    bool isFree() const { return name[0] == 0x00; }
    bool isDeleted() const { return name[0] == kDeletedMark; }
    bool isDot() const { return name[0] == '.'; }
};

// `slot` must hold at least 32 bytes; nullopt otherwise.
std::optional<ShortEntry> decodeShortEntry(platform::Bytes slot);

struct LongNameSlot {
    uint8_t sequence = 0;  // ordinal in the low bits, 0x40 on the run's last (first stored) slot
    uint8_t checksum = 0;  // of the short name the run belongs to
    std::array<uint16_t, 13> characters{};
};

std::optional<LongNameSlot> decodeLongNameSlot(platform::Bytes slot);

// The checksum long-name slots carry of their short entry's 11 name bytes.
uint8_t shortNameChecksum(const std::array<uint8_t, 11>& name);

// The short name as shown: base and extension with trailing blanks trimmed, a dot only when
// there is an extension, lower case where the entry's case flags ask for it; the deletion mark
// shows as U+FFE5; other bytes are read as Windows-1252. UTF-8.
std::string shortNameText(const ShortEntry& entry);

// Collects the long-name slots that precede a short entry, in stored order, and names the
// short entry right after them when the run belongs to it.
class LongNameRun {
public:
    // At most 20 slots (255 characters) name one entry.
    static constexpr size_t kMaxSlots = 20;

    void reset() { slots_.clear(); }
    bool empty() const { return slots_.empty(); }
    // `deletedMark`: the slot's first byte is 0xE5 (its ordinal is lost).
    void add(const LongNameSlot& slot, bool deletedMark);
    // The long name of `entry`, or nullopt when the run does not belong to it: a live entry
    // needs a live run carrying its checksum; a deleted entry takes a deleted run (both lost
    // their first byte, so the checksum cannot be checked).
    std::optional<std::string> nameFor(const ShortEntry& entry) const;

private:
    std::vector<LongNameSlot> slots_;
    bool deleted_ = false;
};

}  // namespace vdrec::fs::fat
