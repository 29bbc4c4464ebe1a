#pragma once

#include "fs/registry.h"

namespace vdrec::fs::ext {

// ext's row of the registry.
const FileSystemType& extFileSystem();

}  // namespace vdrec::fs::ext
