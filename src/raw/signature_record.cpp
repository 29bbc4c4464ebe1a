#include "raw/signature_record.h"

#include <cstring>

#include "platform/text_format.h"

namespace vdrec::raw {

namespace {

// Record layout (offsets in bytes).
constexpr size_t kExtensionAt = 0;
constexpr size_t kStartOffsetAt = 10;
constexpr size_t kExtensionLengthAt = 12;
constexpr size_t kStartSignatureAt = 13;
constexpr size_t kEndSignatureAt = 23;
constexpr size_t kStartLengthAt = 33;
constexpr size_t kEndLengthAt = 34;
constexpr size_t kRecordIndexAt = 35;
constexpr size_t kSizeFieldOffsetAt = 36;
constexpr size_t kSizeFieldWidthAt = 40;
constexpr size_t kHeaderSizeAt = 44;
constexpr size_t kIncludesHeaderAt = 48;
constexpr size_t kApproximateSizeAt = 53;
constexpr size_t kSkipSizeAt = 61;
constexpr size_t kCategoryAt = 69;
constexpr size_t kExtensionTailAt = 169;

std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        uint32_t code = 0xFFFD;
        size_t length = 1;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
        }
        if (length > 1) {
            if (i + length > text.size()) {
                length = 1;
            } else {
                code = lead & (0x7F >> length);
                for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            }
        }
        i += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

// Units up to the first zero; a lone surrogate becomes U+FFFD.
std::string fromUtf16(std::u16string_view units) {
    std::string out;
    for (size_t i = 0; i < units.size() && units[i] != 0; ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        platform::appendUtf8(out, code);
    }
    return out;
}

// At most `units` code units, not ending in the first half of a surrogate pair.
std::u16string cutUnits(std::u16string text, size_t units) {
    if (text.size() <= units) return text;
    text.resize(units);
    if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00) text.pop_back();
    return text;
}

void putUnits(RecordBytes& bytes, size_t at, std::u16string_view units) {
    for (size_t i = 0; i < units.size(); ++i) {
        bytes[at + 2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
        bytes[at + 2 * i + 1] = static_cast<uint8_t>(units[i] >> 8);
    }
}

std::u16string unitsAt(const platform::ByteReader& in, size_t at, size_t count) {
    std::u16string units;
    for (size_t i = 0; i < count; ++i) units.push_back(static_cast<char16_t>(in.le16Or0(at + 2 * i)));
    return units;
}

template <typename T>
void putLe(RecordBytes& bytes, size_t at, T value) {
    auto raw = static_cast<std::make_unsigned_t<T>>(value);
    for (size_t i = 0; i < sizeof(T); ++i) bytes[at + i] = static_cast<uint8_t>((raw >> (8 * i)) & 0xFF);
}

}  // namespace

size_t utf16Units(std::string_view text) { return toUtf16(text).size(); }

std::string cutToUtf16Units(std::string_view text, size_t units) { return fromUtf16(cutUnits(toUtf16(text), units)); }

RecordBytes encodeSignatureRecord(const SignatureRecord& record) {
    RecordBytes bytes{};
    const std::u16string extension = cutUnits(toUtf16(record.extension), kMaxExtensionUnits);
    putUnits(bytes, kExtensionAt, std::u16string_view(extension).substr(0, kExtensionUnits));
    if (extension.size() > kExtensionUnits)
        putUnits(bytes, kExtensionTailAt, std::u16string_view(extension).substr(kExtensionUnits));
    putLe<int16_t>(bytes, kStartOffsetAt, record.startOffset);
    bytes[kExtensionLengthAt] = record.extensionLength;
    std::memcpy(&bytes[kStartSignatureAt], record.startSignature.data(), kMaxSignatureBytes);
    std::memcpy(&bytes[kEndSignatureAt], record.endSignature.data(), kMaxSignatureBytes);
    bytes[kStartLengthAt] = record.startLength;
    bytes[kEndLengthAt] = record.endLength;
    bytes[kRecordIndexAt] = record.recordIndex;
    putLe<int32_t>(bytes, kSizeFieldOffsetAt, record.sizeFieldOffset);
    putLe<int32_t>(bytes, kSizeFieldWidthAt, record.sizeFieldWidth);
    putLe<int32_t>(bytes, kHeaderSizeAt, record.headerSize);
    bytes[kIncludesHeaderAt] = record.sizeIncludesHeader ? 1 : 0;
    putLe<int64_t>(bytes, kApproximateSizeAt, record.approximateSize);
    putLe<int64_t>(bytes, kSkipSizeAt, record.skipSize);
    putUnits(bytes, kCategoryAt, cutUnits(toUtf16(record.category), kMaxCategoryUnits));
    return bytes;
}

std::optional<SignatureRecord> decodeSignatureRecord(platform::Bytes bytes) {
    const platform::ByteReader in(bytes);
    if (!in.has(0, kSignatureRecordSize)) return std::nullopt;
    SignatureRecord record;
    std::u16string extension = unitsAt(in, kExtensionAt, kExtensionUnits);
    // The tail continues the extension only when the first four units are all in use.
    if (extension.find(u'\0') == std::u16string::npos)
        extension += unitsAt(in, kExtensionTailAt, kMaxExtensionUnits - kExtensionUnits);
    record.extension = fromUtf16(extension);
    record.startOffset = static_cast<int16_t>(in.le16Or0(kStartOffsetAt));
    record.extensionLength = in.u8Or0(kExtensionLengthAt);
    for (size_t i = 0; i < kMaxSignatureBytes; ++i) {
        record.startSignature[i] = in.u8Or0(kStartSignatureAt + i);
        record.endSignature[i] = in.u8Or0(kEndSignatureAt + i);
    }
    record.startLength = in.u8Or0(kStartLengthAt);
    record.endLength = in.u8Or0(kEndLengthAt);
    record.recordIndex = in.u8Or0(kRecordIndexAt);
    record.sizeFieldOffset = static_cast<int32_t>(in.le32Or0(kSizeFieldOffsetAt));
    record.sizeFieldWidth = static_cast<int32_t>(in.le32Or0(kSizeFieldWidthAt));
    record.headerSize = static_cast<int32_t>(in.le32Or0(kHeaderSizeAt));
    record.sizeIncludesHeader = in.u8Or0(kIncludesHeaderAt) != 0;
    record.approximateSize = static_cast<int64_t>(in.le64Or0(kApproximateSizeAt));
    record.skipSize = static_cast<int64_t>(in.le64Or0(kSkipSizeAt));
    record.category = fromUtf16(unitsAt(in, kCategoryAt, kMaxCategoryUnits));
    return record;
}

}  // namespace vdrec::raw
