#pragma once
// Entries of a scanned volume as the command line prints them, and paths to find them by.

#include <optional>
#include <string>
#include <string_view>

#include "fs/file_system_adapter.h"

namespace vdrec::cli {

// One entry as a JSON object line (path, name, type, deleted, size, times, attributes),
// appended to `out`. Written directly: listings of a million entries spend their time here.
void appendEntryJsonLine(std::string& out, fs::FileSystemAdapter& adapter, fs::EntryRef entry, const std::string& path);
// The same with the entry's name at hand and `texts` reused between lines (no allocation per line).
void appendEntryJsonLine(std::string& out, fs::FileSystemAdapter& adapter, fs::EntryRef entry, std::string_view path,
                         std::string_view name, fs::ListTexts& texts);
// One entry as a text line: type, deleted mark, size text, modification time, path.
std::string entryLine(fs::FileSystemAdapter& adapter, fs::EntryRef entry, const std::string& path);

// The entry at `path` (names below the top item joined by "/"); nullopt when none. The empty
// path is the top item itself (kNoEntry).
std::optional<fs::EntryRef> resolvePath(fs::FileSystemAdapter& adapter, const std::string& path);

}  // namespace vdrec::cli
