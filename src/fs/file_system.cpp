#include "fs/file_system.h"

#include <algorithm>
#include <cctype>

namespace vdrec::fs {

namespace {

struct Name {
    std::string_view text;
    FileSystem fileSystem;
};

// The first name of each file system is the one the volume list shows.
constexpr Name kNames[] = {
    {"NTFS", FileSystem::Ntfs},   {"FAT32", FileSystem::Fat32}, {"FAT16", FileSystem::Fat16},
    {"FAT", FileSystem::Fat16},   {"extX", FileSystem::Ext},    {"FAT64", FileSystem::Exfat},
    {"exFat", FileSystem::Exfat}, {"HFS+", FileSystem::HfsPlus},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string_view fileSystemName(FileSystem fileSystem) {
    for (const Name& name : kNames)
        if (name.fileSystem == fileSystem) return name.text;
    return {};
}

FileSystem fileSystemNamed(std::string_view text) {
    for (const Name& name : kNames)
        if (equalsIgnoringCase(text, name.text)) return name.fileSystem;
    return FileSystem::None;
}

std::string notThisFileSystemMessage(FileSystem fileSystem) {
    const char* name = "";
    switch (fileSystem) {
        case FileSystem::Ntfs: name = "NTFS"; break;
        case FileSystem::Fat32: name = "FAT32"; break;
        case FileSystem::Fat16: name = "FAT16"; break;
        case FileSystem::Ext: name = "ext2, ext3 or ext4"; break;
        case FileSystem::Exfat: name = "exFAT"; break;
        case FileSystem::HfsPlus: name = "HFS+"; break;
        case FileSystem::None: break;
    }
    return std::string("The selected volume holds no ") + name + " file system.";
}

}  // namespace vdrec::fs
