#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vdrec::image {

class ImageReader;

enum class ImageKind : int { Raw = 0, DynamicVhd = 1, Vdi = 2, Vmdk = 3 };

// State the wizard's pages share: the current reader and what the first page settled.
struct WizardState {
    WizardState();
    ~WizardState();

    std::unique_ptr<ImageReader> reader;
    std::string imagePath;
    ImageKind imageKind = ImageKind::Raw;
    uint64_t totalSectors = 0;
    uint64_t enteredDiskSize = 0;      // bytes; 0 when not given
    uint32_t enteredTableEntries = 0;  // 0 when not given
};

}  // namespace vdrec::image
