#include "fs/registry.h"

#include <array>

#include "fs/exfat/exfat_file_system.h"
#include "fs/ext/ext_file_system.h"
#include "fs/fat/fat_file_system.h"
#include "fs/hfsplus/hfsplus_file_system.h"
#include "fs/ntfs/ntfs_file_system.h"

namespace vdrec::fs {

std::span<const FileSystemType* const> fileSystemTypes() {
    // One line per file system. Probes run in this order; their signatures do not overlap, and
    // the boot-sector ones come before those that look further into the volume.
    static const std::array<const FileSystemType*, 6> types = {
        &ntfs::ntfsFileSystem(),
        &exfat::exfatFileSystem(),
        &fat::fat32FileSystem(),
        &fat::fat16FileSystem(),
        &ext::extFileSystem(),
        &hfsplus::hfsPlusFileSystem(),
    };
    return types;
}

const FileSystemType* findFileSystemType(FileSystem fileSystem) {
    for (const FileSystemType* type : fileSystemTypes())
        if (type->fileSystem == fileSystem) return type;
    return nullptr;
}

FileSystem probeFileSystem(const image::BlockDevice& volume) {
    for (const FileSystemType* type : fileSystemTypes())
        if (type->probe && type->probe(volume)) return type->fileSystem;
    return FileSystem::None;
}


}  // namespace vdrec::fs
