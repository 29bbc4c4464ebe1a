#pragma once
// A disk image opened through the reader of its container kind: a block device over the image
// file, serving the virtual disk's bytes. The wizard's first page and the header checks also see
// it through a seek-then-read cursor, a thin adapter over the positional reads.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/block_device.h"
#include "platform/image_file.h"
#include "platform/ui_sink.h"

namespace vdrec::image {

struct WizardState;

class ImageReader : public BlockDevice {
public:
    enum MoveMethod : uint32_t { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

    ImageReader(WizardState& state, platform::UiSink& sink);
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    // Opens the image at `path` read-only; writes WizardState::totalSectors.
    virtual bool open(const std::string& path);
    // Opens an already opened byte source; `path` names it for the checks that look at names.
    virtual bool openSource(const std::string& path, std::unique_ptr<platform::ByteSource> source) = 0;

    // The cursor: moves the position (absolute in the virtual disk); false when the position
    // cannot be mapped onto the image.
    virtual bool seek(int64_t offset, uint32_t method = FromStart) = 0;
    // Reads `count` bytes at the position and advances it; false when any part was not read.
    bool readNext(void* buffer, uint32_t count);

    // The platform error behind the last failed read; EIO when the failure was not the platform's.
    int lastError() const;

    std::vector<uint32_t> blockMap;
    uint64_t blockMapCount = 0;
    int64_t fileLength = 0;
    bool mapped = true;

protected:
    platform::ByteSource* source() const { return source_.get(); }

    WizardState& state_;
    platform::UiSink& sink_;
    std::unique_ptr<platform::ByteSource> source_;
    // The cursor's absolute byte position in the virtual disk.
    std::atomic<int64_t> position_{0};
};

}  // namespace vdrec::image
