#pragma once
// Names from the disk become file names in a folder the user chose. They are made safe first
// (no separator, no NUL, no "." or "..", bounded length) and never replace an existing file.

#include <functional>
#include <string>
#include <string_view>

namespace vdrec::results {

// Longest name written, in bytes: what the usual output file systems hold. A " (n)" suffix that
// would pass it shortens the stem instead.
inline constexpr size_t kMaxOutputName = 255;

std::string safeOutputName(std::string_view name);

// `folder` + "/" + `name`, or with " (1)", " (2)", ... before the extension when that is taken.
std::string uniqueOutputPath(const std::string& folder, const std::string& name);
// The same, also passing over the paths `taken` says are promised to files not written yet.
std::string uniqueOutputPath(const std::string& folder, const std::string& name,
                             const std::function<bool(const std::string&)>& taken);

// The folder `parent`/`name` to write into, created when missing. An existing real folder is
// reused (never a link to one); any other file of that name gets a fresh " (n)" name.
// `created` tells whether the folder was made just now (and so holds nothing yet).
std::string outputFolderFor(const std::string& parent, const std::string& name, bool* created = nullptr);

}  // namespace vdrec::results
