#include "platform/folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace vdrec::platform {

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isRealFolder(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool createFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && isFolder(path);
}

bool createNewFolder(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

std::string temporaryFolder() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    return "/tmp";
}

std::string withTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
    return folder;
}

}  // namespace vdrec::platform
