#include "platform/image_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vdrec::platform {

int64_t readFully(ByteSource& source, uint64_t offset, void* buffer, size_t size) {
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < size) {
        const int64_t got = source.readAt(offset + done, out + done, size - done);
        if (got < 0) return done > 0 ? static_cast<int64_t>(done) : -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

std::unique_ptr<ImageFile> ImageFile::open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return nullptr;
    }
    uint64_t length = static_cast<uint64_t>(info.st_size);
    std::optional<uint64_t> deviceSize;
    if (S_ISBLK(info.st_mode)) {
        uint64_t bytes = 0;
        if (::ioctl(fd, BLKGETSIZE64, &bytes) == 0) {
            deviceSize = bytes;
            length = bytes;
        }
    } else if (!S_ISREG(info.st_mode)) {
        // Pipes and sockets cannot be read at positions.
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<ImageFile>(new ImageFile(fd, length, deviceSize));
}

ImageFile::~ImageFile() { ::close(fd_); }

int64_t ImageFile::readAt(uint64_t offset, void* buffer, size_t size) {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return 0;
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, size, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        lastError_.store(errno, std::memory_order_relaxed);
        return -1;
    }
}

int64_t MemorySource::readAt(uint64_t offset, void* buffer, size_t size) {
    if (offset >= bytes_.size()) return 0;
    const size_t count = std::min<uint64_t>(size, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, count);
    return static_cast<int64_t>(count);
}

std::optional<uint64_t> fileLength(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

}  // namespace vdrec::platform
