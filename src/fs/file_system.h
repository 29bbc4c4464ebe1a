#pragma once
// The file systems vdrec reads, as a value, and the one table of their names: the text the
// volume list shows for each, and the names a user or a partition table may give it.

#include <optional>
#include <string>
#include <string_view>

namespace vdrec::fs {

enum class FileSystem { None, Ntfs, Fat32, Fat16, Ext, Exfat, HfsPlus };

// The volume list's text: "NTFS", "FAT32", "FAT16", "extX", "FAT64", "HFS+"; "" for None.
std::string_view fileSystemName(FileSystem fileSystem);

// The file system a name selects, ignoring case, as the pages match them: "ntfs"; "fat32";
// "fat16" or "fat"; "extX"; "fat64" or "exFat"; "HFS+". None for any other name.
FileSystem fileSystemNamed(std::string_view name);

// The one message of a standard scan that finds no such file system where the user said one is.
std::string notThisFileSystemMessage(FileSystem fileSystem);

}  // namespace vdrec::fs
