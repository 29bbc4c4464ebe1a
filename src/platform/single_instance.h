#pragma once
// The lock that keeps one copy of the application running: an advisory lock on a file, held
// for the life of the object. The system drops it when the process ends, however it ends.

#include <string>
#include <string_view>

namespace vdrec::platform {

inline constexpr std::string_view kAnotherInstanceMessage = "Another instance of application is already running";

class SingleInstance {
public:
    explicit SingleInstance(const std::string& lockPath = defaultLockPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Another holder has the lock. A lock file that cannot be opened at all does not count:
    // a read-only runtime folder must not keep the application from starting.
    bool alreadyRunning() const { return alreadyRunning_; }

    // "$XDG_RUNTIME_DIR/<name>", else the temporary folder; per user either way.
    static std::string defaultLockPath();

private:
    int fd_ = -1;
    bool alreadyRunning_ = false;
};

}  // namespace vdrec::platform
