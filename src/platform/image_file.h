#pragma once
// Read-only access to image files and devices. Nothing in vdrec can write to an image:
// the only handle type offered here is opened O_RDONLY.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vdrec::platform {

// Where a reader's bytes come from: a file, a device, or memory (tests and fuzzing).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes at `offset`; returns the count read (short at the end), or -1.
    virtual int64_t readAt(uint64_t offset, void* buffer, size_t size) = 0;
    // Length in bytes: the file length, or the device size for a block device.
    virtual uint64_t length() const = 0;
    // The device's size when this is a block device; nullopt for an ordinary file.
    virtual std::optional<uint64_t> deviceSize() const { return std::nullopt; }
    // errno of the last failed read, 0 when none.
    virtual int lastError() const { return 0; }
};

// Reads until `size` bytes arrived, end of source, or an error.
int64_t readFully(ByteSource& source, uint64_t offset, void* buffer, size_t size);

class ImageFile final : public ByteSource {
public:
    static std::unique_ptr<ImageFile> open(const std::string& path);
    ~ImageFile() override;

    int64_t readAt(uint64_t offset, void* buffer, size_t size) override;
    uint64_t length() const override { return length_; }
    std::optional<uint64_t> deviceSize() const override { return deviceSize_; }
    int lastError() const override { return lastError_.load(std::memory_order_relaxed); }

private:
    ImageFile(int fd, uint64_t length, std::optional<uint64_t> deviceSize)
        : fd_(fd), length_(length), deviceSize_(deviceSize) {}

    int fd_;
    uint64_t length_;
    std::optional<uint64_t> deviceSize_;
    std::atomic<int> lastError_{0};  // reads may come from several threads
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    int64_t readAt(uint64_t offset, void* buffer, size_t size) override;
    uint64_t length() const override { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
};

// Length of an ordinary file by path, nullopt when it cannot be opened.
std::optional<uint64_t> fileLength(const std::string& path);

}  // namespace vdrec::platform
