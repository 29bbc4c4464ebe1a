#include "image/raw_reader.h"

#include <cstring>

#include "image/wizard_state.h"

namespace vdrec::image {

bool RawReader::openSource(const std::string&, std::unique_ptr<platform::ByteSource> source) {
    if (!source) {
        sink_.message("Invalid handle .");
        return false;
    }
    source_ = std::move(source);
    if (auto device = source_->deviceSize()) {
        state_.totalSectors = *device / kSectorSize;
        if (fileLength == 0) fileLength = static_cast<int64_t>(*device);
    } else {
        fileLength = static_cast<int64_t>(source_->length());
        state_.totalSectors = static_cast<uint64_t>(fileLength) / kSectorSize;
    }
    if (state_.enteredDiskSize != 0) state_.totalSectors = state_.enteredDiskSize / kSectorSize;
    return true;
}

bool RawReader::read(void* buffer, uint32_t count) {
    if (!source_) return false;
    const int64_t got = position_ < 0 ? -1 : platform::readFully(*source_, static_cast<uint64_t>(position_), buffer, count);
    const size_t arrived = got > 0 ? static_cast<size_t>(got) : 0;
    // Past the end of the image the caller gets zeros, never stale buffer contents.
    std::memset(static_cast<uint8_t*>(buffer) + arrived, 0, count - arrived);
    position_ += count;
    return arrived == count;
}

bool RawReader::readAt(int64_t offset, void* buffer, uint32_t count) {
    if (!source_) return false;
    int64_t target = -1;
    if (__builtin_add_overflow(offset, baseOffset, &target)) target = -1;
    const int64_t got = target < 0 ? -1 : platform::readFully(*source_, static_cast<uint64_t>(target), buffer, count);
    const size_t arrived = got > 0 ? static_cast<size_t>(got) : 0;
    std::memset(static_cast<uint8_t*>(buffer) + arrived, 0, count - arrived);
    // Reads that follow continue after this one, as after seek and read.
    if (target >= 0)
        position_ = target + count;
    else
        position_ += count;
    return target >= 0 && arrived == count;
}

bool RawReader::seek(int64_t offset, uint32_t method) {
    if (!source_) return false;
    int64_t target = 0;
    switch (method) {
        case FromStart: target = offset + baseOffset; break;
        case FromCurrent: target = position_ + offset; break;
        case FromEnd: target = static_cast<int64_t>(source_->length()) + offset; break;
        default: return false;
    }
    if (target < 0) return false;
    position_ = target;
    return true;
}

}  // namespace vdrec::image
