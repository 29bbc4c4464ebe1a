#pragma once
// How the core speaks to the user. The desktop front end shows message boxes and a status
// line; the command line writes to stderr; tests record everything.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vdrec::platform {

inline constexpr std::string_view kApplicationTitle = "Virtual Disk Recovery";

class UiSink {
public:
    virtual ~UiSink() = default;

    // A modal message box, information icon, caption kApplicationTitle.
    virtual void message(std::string_view text) = 0;
    // A Yes/No question with the question icon; true for Yes.
    virtual bool question(std::string_view text) = 0;
    // Replaces the page's one-line status.
    virtual void status(std::string_view text) = 0;
    // The second status line (the size of the file being saved); empty text clears it.
    virtual void detailStatus(std::string_view text) { (void)text; }
    virtual void progressRange(int64_t low, int64_t high) = 0;
    virtual void progressPosition(int64_t position) = 0;
    // The folder picker; nullopt when the user cancels.
    virtual std::optional<std::string> pickFolder(std::string_view title) = 0;
};

}  // namespace vdrec::platform
