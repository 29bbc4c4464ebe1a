#pragma once
// What the pages' Help menu and close command open; the front end launches the browser.

#include <string_view>

namespace vdrec::app {

inline constexpr std::string_view kProductWebPage = "https://vdrec.invalid/";
inline constexpr std::string_view kOnlineHelpPage = "https://vdrec.invalid/help";

}  // namespace vdrec::app
