#pragma once

#include "image/image_reader.h"

namespace vdrec::image {

// A flat image: raw disk images, devices, and fixed VHDs (disk data followed by a footer). Each
// disk byte is one file byte, so reads go straight to their position without a lock.
class RawReader final : public ImageReader {
public:
    using ImageReader::ImageReader;

    bool openSource(const std::string& path, std::unique_ptr<platform::ByteSource> source) override;
    uint64_t size() const override;
    ReadResult read(uint64_t offset, void* buffer, size_t count) const override;
    bool seek(int64_t offset, uint32_t method = FromStart) override;
};

}  // namespace vdrec::image
