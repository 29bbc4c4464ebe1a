#pragma once
// The file systems vdrec reads, one row each. A file system's folder gives its row (a probe and
// a scanner); adding one is its folder and its line in registry.cpp, nothing above src/fs.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fs/scanner.h"

namespace vdrec::fs {

struct FileSystemType {
    FileSystem fileSystem = FileSystem::None;
    // Does this volume hold this file system: its own signature and a sanity check of its geometry.
    bool (*probe)(const image::BlockDevice& volume) = nullptr;
    std::unique_ptr<Scanner> (*makeScanner)(const ScanTarget& target, platform::UiSink& sink) = nullptr;
    // The anchor page's "Sector Per Cluster :" items, the boot sector's value first when there is one.
    std::vector<std::string> (*clusterSizeItems)(std::optional<int> bootSectorsPerCluster) = nullptr;
};

std::span<const FileSystemType* const> fileSystemTypes();
const FileSystemType* findFileSystemType(FileSystem fileSystem);

// The file system the volume holds by the first probe that accepts it; None when none does.
FileSystem probeFileSystem(const image::BlockDevice& volume);

}  // namespace vdrec::fs
