#include "image/image_reader.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "image/wizard_state.h"

namespace vdrec::image {

namespace {

uint64_t nextReaderSerial() {
    static std::atomic<uint64_t> last{0};
    return ++last;
}

}  // namespace

ImageReader::ImageReader(WizardState& state, platform::UiSink& sink)
    : state_(state), sink_(sink), serial_(nextReaderSerial()) {}

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

bool ImageReader::readNearby(int64_t offset, void* buffer, uint32_t count, Nearby kind) {
    struct Piece {
        uint64_t reader = 0;
        int64_t base = 0;
        int64_t start = -1;
        std::vector<uint8_t> bytes;
    };
    // Records and file data lie apart: one piece each, so neither evicts the other.
    thread_local Piece pieces[2];
    Piece& piece = pieces[kind == Nearby::Records ? 0 : 1];
    const int64_t start = offset >= 0 ? offset / kNearbyPieceBytes * kNearbyPieceBytes : -1;
    if (start < 0 || count > kNearbyPieceBytes || offset - start > kNearbyPieceBytes - count)
        return readAt(offset, buffer, count);
    const int64_t base = baseOffset;
    if (piece.reader != serial_ || piece.base != base || piece.start != start) {
        piece.reader = serial_;
        piece.base = base;
        piece.start = -1;
        piece.bytes.resize(kNearbyPieceBytes);
        // A piece that reaches past what the image holds is not kept: such reads go one by one.
        if (!readAt(start, piece.bytes.data(), kNearbyPieceBytes)) return readAt(offset, buffer, count);
        piece.start = start;
    }
    std::memcpy(buffer, piece.bytes.data() + (offset - start), count);
    return true;
}

int ImageReader::lastError() const {
    const int error = source_ ? source_->lastError() : 0;
    return error != 0 ? error : EIO;
}

}  // namespace vdrec::image
