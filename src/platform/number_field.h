#pragma once
// The wizard's number fields take digits only, like the edit controls they stand for.

#include <cstdint>
#include <optional>
#include <string_view>

namespace vdrec::platform {

// True when `text` is empty or all decimal digits and at most `maxDigits` long.
bool isNumberFieldText(std::string_view text, size_t maxDigits);
// The field's value; nullopt for an empty field or one beyond uint64_t.
std::optional<uint64_t> numberFieldValue(std::string_view text);

}  // namespace vdrec::platform
