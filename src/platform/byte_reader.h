#pragma once
// Bounds-checked decoding of little- and big-endian fields from on-disk bytes.
// A read past the span yields std::nullopt, never a silent zero.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vdrec::platform {

using Bytes = std::span<const std::byte>;

inline Bytes asBytes(const void* data, size_t size) {
    return Bytes(static_cast<const std::byte*>(data), size);
}

class ByteReader {
public:
    explicit ByteReader(Bytes bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }
    bool has(size_t offset, size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    // Inline: parsers decode millions of fields.
    std::optional<uint8_t> u8(size_t offset) const { return integer<uint8_t, false>(offset); }
    std::optional<uint16_t> le16(size_t offset) const { return integer<uint16_t, false>(offset); }
    std::optional<uint32_t> le32(size_t offset) const { return integer<uint32_t, false>(offset); }
    std::optional<uint64_t> le64(size_t offset) const { return integer<uint64_t, false>(offset); }
    std::optional<uint16_t> be16(size_t offset) const { return integer<uint16_t, true>(offset); }
    std::optional<uint32_t> be32(size_t offset) const { return integer<uint32_t, true>(offset); }
    std::optional<uint64_t> be64(size_t offset) const { return integer<uint64_t, true>(offset); }

    // Bytes [offset, offset + length) as text, or nullopt when out of range.
    std::optional<std::string> text(size_t offset, size_t length) const;
    bool matches(size_t offset, std::string_view expected) const;
    std::optional<Bytes> sub(size_t offset, size_t length) const;

    // Field readers for structures already known to fit: out-of-range reads give 0.
    uint8_t u8Or0(size_t offset) const { return u8(offset).value_or(0); }
    uint16_t le16Or0(size_t offset) const { return le16(offset).value_or(0); }
    uint32_t le32Or0(size_t offset) const { return le32(offset).value_or(0); }
    uint64_t le64Or0(size_t offset) const { return le64(offset).value_or(0); }
    uint32_t be32Or0(size_t offset) const { return be32(offset).value_or(0); }
    uint64_t be64Or0(size_t offset) const { return be64(offset).value_or(0); }
    uint16_t be16Or0(size_t offset) const { return be16(offset).value_or(0); }

private:
    template <typename T, bool BigEndian>
    std::optional<T> integer(size_t offset) const {
        if (!has(offset, sizeof(T))) return std::nullopt;
        T value = 0;
        for (size_t k = 0; k < sizeof(T); ++k) {
            const size_t index = BigEndian ? k : sizeof(T) - 1 - k;
            value = static_cast<T>((value << 8) | static_cast<uint8_t>(bytes_[offset + index]));
        }
        return value;
    }

    Bytes bytes_;
};

// Multiplication and addition that report overflow instead of wrapping.
std::optional<uint64_t> checkedMul(uint64_t a, uint64_t b);
std::optional<uint64_t> checkedAdd(uint64_t a, uint64_t b);

}  // namespace vdrec::platform
