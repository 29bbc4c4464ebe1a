#pragma once
// Texts every wizard page shows the same way.

#include <string_view>

namespace vdrec::platform {

inline constexpr std::string_view kCloseQuestion = "Do you want to Close Application ?";
inline constexpr std::string_view kStopQuestion = "Are you sure to stop the running process?";
inline constexpr std::string_view kWaitForRunningProcess = "Please wait for the running process.";

}  // namespace vdrec::platform
