#include "fs/fat/directory_entry.h"

#include "platform/text_format.h"

namespace vdrec::fs::fat {

namespace {

// Windows-1252 code points of bytes 0x80 to 0x9F; the rest of the page is Latin-1.
constexpr uint16_t kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

void appendUtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void appendCp1252(std::string& out, uint8_t byte, bool lower) {
    if (lower && byte >= 'A' && byte <= 'Z') byte = static_cast<uint8_t>(byte + 32);
    if (byte >= 0x80 && byte < 0xA0) appendUtf8(out, kCp1252High[byte - 0x80]);
    else appendUtf8(out, byte);
}

}  // namespace

std::optional<ShortEntry> decodeShortEntry(platform::Bytes slot) {
    const platform::ByteReader in(slot);
    if (!in.has(0, kSlotBytes)) return std::nullopt;
    ShortEntry entry;
    for (size_t k = 0; k < entry.name.size(); ++k) entry.name[k] = in.u8Or0(k);
    entry.attributes = in.u8Or0(11);
    entry.caseFlags = in.u8Or0(12);
    entry.creationTenths = in.u8Or0(13);
    entry.creationTime = in.le16Or0(14);
    entry.creationDate = in.le16Or0(16);
    entry.accessDate = in.le16Or0(18);
    entry.firstClusterHigh = in.le16Or0(20);
    entry.writeTime = in.le16Or0(22);
    entry.writeDate = in.le16Or0(24);
    entry.firstClusterLow = in.le16Or0(26);
    entry.size = in.le32Or0(28);
    return entry;
}

std::optional<LongNameSlot> decodeLongNameSlot(platform::Bytes slot) {
    const platform::ByteReader in(slot);
    if (!in.has(0, kSlotBytes)) return std::nullopt;
    LongNameSlot out;
    out.sequence = in.u8Or0(0);
    out.checksum = in.u8Or0(13);
    static constexpr size_t kCharacterOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    for (size_t k = 0; k < 13; ++k) out.characters[k] = in.le16Or0(kCharacterOffsets[k]);
    return out;
}

uint8_t shortNameChecksum(const std::array<uint8_t, 11>& name) {
    uint8_t sum = 0;
    for (uint8_t byte : name) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + byte);
    return sum;
}

std::string shortNameText(const ShortEntry& entry) {
    size_t baseEnd = 8;
    while (baseEnd > 0 && entry.name[baseEnd - 1] == ' ') --baseEnd;
    size_t extensionEnd = 11;
    while (extensionEnd > 8 && entry.name[extensionEnd - 1] == ' ') --extensionEnd;
    std::string text;
    const bool lowerBase = entry.caseFlags & 0x08;
    const bool lowerExtension = entry.caseFlags & 0x10;
    for (size_t k = 0; k < baseEnd; ++k) {
        const uint8_t byte = entry.name[k];
        if (k == 0 && byte == kDeletedMark) appendUtf8(text, 0xFFE5);
        else if (k == 0 && byte == 0x05) appendCp1252(text, kDeletedMark, false);  // a real 0xE5 first byte
        else appendCp1252(text, byte, lowerBase);
    }
    if (extensionEnd > 8) {
        text += '.';
        for (size_t k = 8; k < extensionEnd; ++k) appendCp1252(text, entry.name[k], lowerExtension);
    }
    return text;
}

void LongNameRun::add(const LongNameSlot& slot, bool deletedMark) {
    // A live slot flagged as a run's last part, or one for another short entry, starts afresh;
    // so does a run grown past what one name can use (leftovers of older names).
    const bool startsRun = !deletedMark && (slot.sequence & 0x40);
    if (slots_.empty() || startsRun || slots_.size() >= kMaxSlots || deletedMark != deleted_ ||
        slot.checksum != slots_.front().checksum) {
        slots_.clear();
        deleted_ = deletedMark;
    }
    slots_.push_back(slot);
}

std::optional<std::string> LongNameRun::nameFor(const ShortEntry& entry) const {
    if (slots_.empty()) return std::nullopt;
    if (entry.isDeleted() != deleted_) return std::nullopt;
    if (!deleted_ && slots_.front().checksum != shortNameChecksum(entry.name)) return std::nullopt;
    // Stored last part first: read from the slot nearest the short entry backwards.
    std::vector<uint8_t> utf16;
    utf16.reserve(slots_.size() * 26);
    for (auto slot = slots_.rbegin(); slot != slots_.rend(); ++slot) {
        // Each slot's part ends at its NUL; the 0xFFFF fill after it is dropped.
        for (uint16_t unit : slot->characters) {
            if (unit == 0) break;
            utf16.push_back(static_cast<uint8_t>(unit & 0xFF));
            utf16.push_back(static_cast<uint8_t>(unit >> 8));
        }
    }
    std::string name = platform::utf16leToUtf8(utf16.data(), utf16.size() / 2);
    if (name.empty()) return std::nullopt;
    return name;
}

std::string attributeText(uint16_t attributes) {
    std::string text;
    if (attributes & attribute::kReadOnly) text += "-R";
    if (attributes & attribute::kHidden) text += "-H";
    if (attributes & attribute::kSystem) text += "-S";
    if (attributes & attribute::kArchive) text += "-A";
    return text;
}

}  // namespace vdrec::fs::fat
