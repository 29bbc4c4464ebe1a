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
};

}  // namespace vdrec::image
