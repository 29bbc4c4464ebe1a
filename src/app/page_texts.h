#pragma once
// The texts the wizard's pages show, typed once: what several pages, or a page and its view,
// show the same way.

#include <string_view>

namespace vdrec::app {

inline constexpr std::string_view kCloseQuestion = "Do you want to Close Application ?";
inline constexpr std::string_view kStopQuestion = "Are you sure to stop the running process?";
inline constexpr std::string_view kWaitForRunningProcess = "Please wait for the running process.";
inline constexpr std::string_view kAllThreadsStopped = "All thread Stopped";
inline constexpr std::string_view kPausePressed = "Pause button pressed";
inline constexpr std::string_view kResumePressed = "Resume button pressed";
inline constexpr std::string_view kChooseFolder = "Please choose a folder.";
inline constexpr std::string_view kInvalidOutputFolder = "Please select valid output folder";

// The raw recovery page's status line when it opens and when a Parse ends without scanning.
inline constexpr std::string_view kRawRecoveryIntro = "Please select parse button to scan the default file.";
inline constexpr std::string_view kRawScanEnded = "Scanning processing done.Select save button to save the data.";

// The signature editor's window title and the raw recovery page's button that opens it.
inline constexpr std::string_view kSignatureEditorTitle = "Setting";

}  // namespace vdrec::app
