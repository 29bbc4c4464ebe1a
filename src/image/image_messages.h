#pragma once

#include <string_view>

namespace vdrec::image {

// Shown when a container header sizes a table or directory beyond what the file can hold.
inline constexpr std::string_view kHeaderTooLargeMessage =
    "The image header asks for more data than the image file holds.";

}  // namespace vdrec::image
