#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "image/image_reader.h"
#include "image/wizard_state.h"

namespace vdrec::image {

// Kind by content: "conectix" at offset 0 is a dynamic VHD, the VDI signature a VDI, "KDMV" a
// VMDK; anything else is raw (which covers fixed VHDs, whose footer lies at the end).
ImageKind detectImageKind(platform::ByteSource& source);
std::optional<ImageKind> detectImageKind(const std::string& path);

std::string_view kindName(ImageKind kind);  // "raw", "vhd", "vdi", "vmdk"
std::optional<ImageKind> parseKindName(std::string_view name);

// A fresh, unopened reader for the kind.
std::unique_ptr<ImageReader> makeReader(ImageKind kind, WizardState& state, platform::UiSink& sink);

}  // namespace vdrec::image
