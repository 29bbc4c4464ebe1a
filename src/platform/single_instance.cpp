#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/folders.h"

namespace vdrec::platform {

namespace {

constexpr const char* kLockName = "vdrec-{6f1d2c9e-4b7a-4e31-9a57-2d4c8b0e5f13}.lock";

}  // namespace

SingleInstance::SingleInstance(const std::string& lockPath) {
    // Close-on-exec: a program the application starts (a browser) must not inherit the lock.
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    int result;
    do {
        result = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        alreadyRunning_ = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) ::close(fd_);
}

std::string SingleInstance::defaultLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0' && isFolder(runtime))
        return withTrailingSeparator(runtime) + kLockName;
    // The temporary folder is shared by all users: the user id keeps one user's lock from
    // blocking another user's application.
    return withTrailingSeparator(temporaryFolder()) + std::to_string(::getuid()) + "-" + kLockName;
}

}  // namespace vdrec::platform
