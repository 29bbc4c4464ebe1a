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

uint64_t RawReader::size() const {
    if (!source_) return 0;
    if (auto device = source_->deviceSize()) return *device;
    return source_->length();
}

ReadResult RawReader::read(uint64_t offset, void* buffer, size_t count) const {
    const int64_t got = source_ ? platform::readFully(*source_, offset, buffer, count) : -1;
    const size_t arrived = got > 0 ? static_cast<size_t>(got) : 0;
    // Past the end of the image the caller gets zeros, never stale buffer contents.
    std::memset(static_cast<uint8_t*>(buffer) + arrived, 0, count - arrived);
    if (arrived == count) return {count, ReadResult::Error::None, 0};
    if (got < 0) return {0, ReadResult::Error::Failed, source_ ? source_->lastError() : 0};
    return {arrived, ReadResult::Error::PastEnd, 0};
}

bool RawReader::seek(int64_t offset, uint32_t method) {
    if (!source_) return false;
    int64_t target = 0;
    switch (method) {
        case FromStart: target = offset; break;
        case FromCurrent: target = position_ + offset; break;
        case FromEnd: target = static_cast<int64_t>(source_->length()) + offset; break;
        default: return false;
    }
    if (target < 0) return false;
    position_ = target;
    return true;
}

}  // namespace vdrec::image
