#pragma once
// The one way the system reads a disk: N bytes at an absolute byte offset, from any thread, with
// no cursor. Image files, container readers and volume slices are all block devices, so a parser
// reads its volume the same way whatever lies beneath it.

#include <cstddef>
#include <cstdint>

namespace vdrec::image {

inline constexpr uint32_t kSectorSize = 512;

// What a read achieved. Bytes past `bytes` were set to zero; `error` says why they did not arrive.
struct ReadResult {
    enum class Error { None, PastEnd, Failed };

    size_t bytes = 0;
    Error error = Error::None;
    int platformError = 0;  // errno of a failed read, when the platform gave one

    bool complete() const { return error == Error::None; }
};

class BlockDevice {
public:
    BlockDevice();
    virtual ~BlockDevice() = default;
    BlockDevice(const BlockDevice&);
    BlockDevice& operator=(const BlockDevice&);

    // The bytes this device can serve from offset 0.
    virtual uint64_t size() const = 0;
    // Reads `count` bytes at `offset` into `buffer`. Bytes the device holds as unallocated read as
    // zeros and count as read; a read reaching past the end or failing is never silently complete.
    // Safe from several threads at once.
    virtual ReadResult read(uint64_t offset, void* buffer, size_t count) const = 0;

    // read() for callers that only ask whether every byte arrived.
    bool readAt(uint64_t offset, void* buffer, size_t count) const { return read(offset, buffer, count).complete(); }

    // readAt for small reads that tend to come as neighbours (records, inodes of one folder, the
    // data of small files made together): each thread keeps, per kind, the last aligned piece of
    // kNearbyPieceBytes it read and serves such reads from it. The same bytes and result as readAt.
    enum class Nearby { Records, FileData };
    static constexpr uint32_t kNearbyPieceBytes = 64 * 1024;
    virtual bool readNearby(uint64_t offset, void* buffer, size_t count, Nearby kind = Nearby::Records) const;

private:
    // Tells devices apart for the per-thread pieces, even one made where another was freed.
    uint64_t serial_;
};

// A window onto another device: `length` bytes from `firstByte`. What a file-system parser gets for
// its volume: offsets are the volume's own, and nothing past the window is read.
class DeviceSlice final : public BlockDevice {
public:
    // An empty slice: every read fails.
    DeviceSlice() = default;
    DeviceSlice(const BlockDevice& device, uint64_t firstByte, uint64_t length);
    // From `firstByte` to the device's end (nothing when it starts past the end).
    static DeviceSlice toEnd(const BlockDevice& device, uint64_t firstByte);

    uint64_t size() const override { return length_; }
    ReadResult read(uint64_t offset, void* buffer, size_t count) const override;
    bool readNearby(uint64_t offset, void* buffer, size_t count, Nearby kind = Nearby::Records) const override;

    const BlockDevice* device() const { return device_; }
    uint64_t firstByte() const { return firstByte_; }
    bool attached() const { return device_ != nullptr; }

private:
    const BlockDevice* device_ = nullptr;
    uint64_t firstByte_ = 0;
    uint64_t length_ = 0;
};

}  // namespace vdrec::image
