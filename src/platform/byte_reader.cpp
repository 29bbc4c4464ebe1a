#include "platform/byte_reader.h"

#include <cstring>

namespace vdrec::platform {

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
