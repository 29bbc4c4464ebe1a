#include "image/image_reader.h"

#include <cerrno>

#include "image/wizard_state.h"

namespace vdrec::image {

bool ImageReader::open(const std::string& path) {
    // The length of the file by path, as an ordinary open would give it (a device gives its size below).
    if (auto length = platform::fileLength(path)) fileLength = static_cast<int64_t>(*length);
    return openSource(path, platform::ImageFile::open(path));
}

bool ImageReader::readAt(int64_t offset, void* buffer, uint32_t count) {
    std::lock_guard lock(readLock_);
    const bool placed = seek(offset, FromStart);
    const bool complete = read(buffer, count);
    return placed && complete;
}

int ImageReader::lastError() const {
    const int error = source_ ? source_->lastError() : 0;
    return error != 0 ? error : EIO;
}

}  // namespace vdrec::image
