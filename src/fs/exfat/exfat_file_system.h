#pragma once

#include "fs/registry.h"

namespace vdrec::fs::exfat {

// exFAT's row of the registry.
const FileSystemType& exfatFileSystem();

}  // namespace vdrec::fs::exfat
