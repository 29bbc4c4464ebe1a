#pragma once

#include <string>

namespace vdrec::platform {

inline constexpr char kPathSeparator = '/';

bool pathExists(const std::string& path);
bool isFolder(const std::string& path);
// A folder itself, not a symbolic link to one.
bool isRealFolder(const std::string& path);
// Creates one folder; true when it exists afterwards.
bool createFolder(const std::string& path);
// Creates one folder; true only when this call made it.
bool createNewFolder(const std::string& path);
// The folder for scratch files: $TMPDIR, else /tmp.
std::string temporaryFolder();
// `folder` with a trailing separator added when it lacks one.
std::string withTrailingSeparator(std::string folder);

}  // namespace vdrec::platform
