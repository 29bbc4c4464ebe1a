#pragma once
// The facts the first page shows for an image, read from the file itself.

#include <cstdint>
#include <optional>
#include <string>

#include "image/wizard_state.h"
#include "platform/image_file.h"
#include "platform/ui_sink.h"

namespace vdrec::image {

struct HeaderFacts {
    ImageKind kind = ImageKind::Raw;
    std::string fileFormatVersion;  // "File Format Version:"
    std::string sectorsPerTrack;    // "Sector per track:"
    std::string heads;              // "Head:"
    std::string cylinders;          // "Cylinder:"
    uint64_t diskSizeMegabytes = 0; // "Size of HDD:"
    std::optional<uint32_t> maximumTableEntries;  // "MAXIMUM TABLE ENTRIES:" (dynamic VHD only)
};

HeaderFacts rawFacts(const platform::ByteSource& source);
HeaderFacts vhdFacts(platform::ByteSource& source);
HeaderFacts vdiFacts(platform::ByteSource& source);
// nullopt when the file is not a hosted sparse VMDK with an embedded descriptor.
std::optional<HeaderFacts> vmdkFacts(platform::ByteSource& source);

// Facts of the image at `path` read as `kind`; failures are shown through `sink`.
std::optional<HeaderFacts> readHeaderFacts(const std::string& path, ImageKind kind, platform::UiSink& sink);

}  // namespace vdrec::image
