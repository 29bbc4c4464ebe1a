#pragma once

#include "fs/registry.h"

namespace vdrec::fs::hfsplus {

// HFS+'s row of the registry.
const FileSystemType& hfsPlusFileSystem();

}  // namespace vdrec::fs::hfsplus
