#pragma once

#include "image/image_reader.h"

namespace vdrec::image {

// A flat image: raw disk images, devices, and fixed VHDs (disk data followed by a footer).
class RawReader final : public ImageReader {
public:
    using ImageReader::ImageReader;

    bool openSource(const std::string& path, std::unique_ptr<platform::ByteSource> source) override;
    bool read(void* buffer, uint32_t count) override;
    bool seek(int64_t offset, uint32_t method = FromStart) override;
    // A flat image maps each disk byte to one file byte: reads go straight to their position,
    // without the shared position or its lock.
    bool readAt(int64_t offset, void* buffer, uint32_t count) override;
};

}  // namespace vdrec::image
