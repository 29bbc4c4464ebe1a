#include "image/image_reader.h"

#include <cerrno>

namespace vdrec::image {

ImageReader::ImageReader(WizardState& state, platform::UiSink& sink) : state_(state), sink_(sink) {}

bool ImageReader::open(const std::string& path) {
    // The length of the file by path, as an ordinary open would give it (a device gives its size below).
    if (auto length = platform::fileLength(path)) fileLength = static_cast<int64_t>(*length);
    return openSource(path, platform::ImageFile::open(path));
}

bool ImageReader::readNext(void* buffer, uint32_t count) {
    const int64_t at = position_.fetch_add(count);
    if (at < 0) return false;
    return readAt(static_cast<uint64_t>(at), buffer, count);
}

int ImageReader::lastError() const {
    const int error = source_ ? source_->lastError() : 0;
    return error != 0 ? error : EIO;
}

}  // namespace vdrec::image
