#pragma once

#include "fs/registry.h"

namespace vdrec::fs::ntfs {

// NTFS's row of the registry.
const FileSystemType& ntfsFileSystem();

}  // namespace vdrec::fs::ntfs
