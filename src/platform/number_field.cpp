#include "platform/number_field.h"

#include <charconv>

namespace vdrec::platform {

bool isNumberFieldText(std::string_view text, size_t maxDigits) {
    if (text.size() > maxDigits) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::optional<uint64_t> numberFieldValue(std::string_view text) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace vdrec::platform
