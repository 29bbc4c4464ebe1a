#pragma once

#include "fs/registry.h"

namespace vdrec::fs::fat {

// FAT32's and FAT16's rows of the registry.
const FileSystemType& fat32FileSystem();
const FileSystemType& fat16FileSystem();

}  // namespace vdrec::fs::fat
