#include "image/block_device.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace vdrec::image {

namespace {

uint64_t nextDeviceSerial() {
    static std::atomic<uint64_t> last{0};
    return ++last;
}

}  // namespace

BlockDevice::BlockDevice() : serial_(nextDeviceSerial()) {}
// A copy is a device of its own: it must not serve pieces read through the original.
BlockDevice::BlockDevice(const BlockDevice&) : serial_(nextDeviceSerial()) {}
BlockDevice& BlockDevice::operator=(const BlockDevice&) {
    serial_ = nextDeviceSerial();
    return *this;
}

bool BlockDevice::readNearby(uint64_t offset, void* buffer, size_t count, Nearby kind) const {
    struct Piece {
        uint64_t device = 0;
        uint64_t start = UINT64_MAX;
        std::vector<uint8_t> bytes;
    };
    // Records and file data lie apart: one piece each, so neither evicts the other.
    thread_local Piece pieces[2];
    Piece& piece = pieces[kind == Nearby::Records ? 0 : 1];
    const uint64_t start = offset / kNearbyPieceBytes * kNearbyPieceBytes;
    if (count > kNearbyPieceBytes || offset - start > kNearbyPieceBytes - count) return readAt(offset, buffer, count);
    if (piece.device != serial_ || piece.start != start) {
        piece.device = serial_;
        piece.start = UINT64_MAX;
        piece.bytes.resize(kNearbyPieceBytes);
        // A piece that reaches past what the device holds is not kept: such reads go one by one.
        if (!readAt(start, piece.bytes.data(), kNearbyPieceBytes)) return readAt(offset, buffer, count);
        piece.start = start;
    }
    std::memcpy(buffer, piece.bytes.data() + (offset - start), count);
    return true;
}

DeviceSlice::DeviceSlice(const BlockDevice& device, uint64_t firstByte, uint64_t length)
    : device_(&device), firstByte_(firstByte), length_(firstByte > UINT64_MAX - length ? UINT64_MAX - firstByte : length) {}

DeviceSlice DeviceSlice::toEnd(const BlockDevice& device, uint64_t firstByte) {
    const uint64_t end = device.size();
    return DeviceSlice(device, firstByte, firstByte < end ? end - firstByte : 0);
}

ReadResult DeviceSlice::read(uint64_t offset, void* buffer, size_t count) const {
    if (!device_) {
        std::memset(buffer, 0, count);
        return {0, count > 0 ? ReadResult::Error::Failed : ReadResult::Error::None, 0};
    }
    const uint64_t inside = offset < length_ ? std::min<uint64_t>(count, length_ - offset) : 0;
    ReadResult result;
    if (inside > 0) result = device_->read(firstByte_ + offset, buffer, inside);
    if (inside < count) {
        std::memset(static_cast<uint8_t*>(buffer) + inside, 0, count - inside);
        if (result.complete()) result = {static_cast<size_t>(inside), ReadResult::Error::PastEnd, 0};
    }
    return result;
}

bool DeviceSlice::readNearby(uint64_t offset, void* buffer, size_t count, Nearby kind) const {
    // Pieces are kept in the device's own offsets, so every slice of one device shares them.
    if (!device_ || offset >= length_ || count > length_ - offset) return readAt(offset, buffer, count);
    return device_->readNearby(firstByte_ + offset, buffer, count, kind);
}

}  // namespace vdrec::image
