#include "platform/byte_reader.h"

#include <cstring>

namespace vdrec::platform {

template <typename T, bool BigEndian>
std::optional<T> ByteReader::integer(size_t offset) const {
    if (!has(offset, sizeof(T))) return std::nullopt;
    T value = 0;
    for (size_t k = 0; k < sizeof(T); ++k) {
        const size_t index = BigEndian ? k : sizeof(T) - 1 - k;
        value = static_cast<T>((value << 8) | static_cast<uint8_t>(bytes_[offset + index]));
    }
    return value;
}

std::optional<uint8_t> ByteReader::u8(size_t offset) const { return integer<uint8_t, false>(offset); }
std::optional<uint16_t> ByteReader::le16(size_t offset) const { return integer<uint16_t, false>(offset); }
std::optional<uint32_t> ByteReader::le32(size_t offset) const { return integer<uint32_t, false>(offset); }
std::optional<uint64_t> ByteReader::le64(size_t offset) const { return integer<uint64_t, false>(offset); }
std::optional<uint16_t> ByteReader::be16(size_t offset) const { return integer<uint16_t, true>(offset); }
std::optional<uint32_t> ByteReader::be32(size_t offset) const { return integer<uint32_t, true>(offset); }
std::optional<uint64_t> ByteReader::be64(size_t offset) const { return integer<uint64_t, true>(offset); }

std::optional<std::string> ByteReader::text(size_t offset, size_t length) const {
    if (!has(offset, length)) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes_.data() + offset), length);
}

bool ByteReader::matches(size_t offset, std::string_view expected) const {
    return has(offset, expected.size()) &&
           std::memcmp(bytes_.data() + offset, expected.data(), expected.size()) == 0;
}

std::optional<Bytes> ByteReader::sub(size_t offset, size_t length) const {
    if (!has(offset, length)) return std::nullopt;
    return bytes_.subspan(offset, length);
}

std::optional<uint64_t> checkedMul(uint64_t a, uint64_t b) {
    uint64_t result = 0;
    if (__builtin_mul_overflow(a, b, &result)) return std::nullopt;
    return result;
}

std::optional<uint64_t> checkedAdd(uint64_t a, uint64_t b) {
    uint64_t result = 0;
    if (__builtin_add_overflow(a, b, &result)) return std::nullopt;
    return result;
}

}  // namespace vdrec::platform
