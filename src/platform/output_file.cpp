#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string_view>

namespace vdrec::platform {

namespace {

thread_local FolderHandleCache* folderHandles = nullptr;

}  // namespace

FolderHandleCache::FolderHandleCache() {
    if (folderHandles == nullptr) folderHandles = this;
}

FolderHandleCache::~FolderHandleCache() {
    if (folderHandles == this) folderHandles = nullptr;
    if (folderFd_ >= 0) ::close(folderFd_);
}

int FolderHandleCache::folderOf(const std::string& path, const char*& name) {
    name = path.c_str();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return AT_FDCWD;
    const std::string_view folder(path.data(), slash == 0 ? 1 : slash);
    if (folderFd_ < 0 || folder != folder_) {
        if (folderFd_ >= 0) ::close(folderFd_);
        folder_.assign(folder);
        folderFd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folderFd_ < 0) return AT_FDCWD;
    }
    name = path.c_str() + slash + 1;
    return folderFd_;
}

int FolderHandleCache::openIn(const std::string& path, int flags) {
    const char* name = nullptr;
    const int folder = folderOf(path, name);
    return ::openat(folder, name, flags, 0644);
}

std::unique_ptr<OutputFile> OutputFile::create(const std::string& path, Mode mode, int& error) {
    // Past the process's file-size limit a write must fail with EFBIG, which the caller reports
    // for that one file, instead of raising SIGXFSZ, which would end the whole save.
    static const bool limitSignalIgnored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    (void)limitSignalIgnored;
    int flags = O_RDWR | O_CREAT | O_CLOEXEC;
    flags |= mode == Mode::CreateNew ? O_EXCL : O_TRUNC;
    const int fd = folderHandles != nullptr ? folderHandles->openIn(path, flags) : ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    error = 0;
    return std::unique_ptr<OutputFile>(new OutputFile(fd));
}

int OutputFile::createEmpty(const std::string& path, std::optional<UnixTime> accessed, std::optional<UnixTime> modified) {
    const char* name = path.c_str();
    const int folder = folderHandles != nullptr ? folderHandles->folderOf(path, name) : AT_FDCWD;
    // Like O_CREAT | O_EXCL, mknod fails on any existing name, a link included.
    if (::mknodat(folder, name, S_IFREG | 0644, 0) != 0) {
        // Where the file system makes no files by mknod, open and close one.
        if (errno == EEXIST) return errno;
        int error = 0;
        auto file = create(path, Mode::CreateNew, error);
        if (!file) return error;
        error = file->setTimes(accessed, modified);
        const int closed = file->close();
        return error != 0 ? error : closed;
    }
    // The name was just made a regular file; should it be swapped for a link meanwhile, the
    // link's own times change, never its target's.
    return setFileTimesAt(folder, name, accessed, modified);
}

OutputFile::~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
}

int OutputFile::writeAt(uint64_t offset, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t wrote = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (wrote == 0) return EIO;
        done += static_cast<size_t>(wrote);
    }
    return 0;
}

int OutputFile::setLength(uint64_t length) {
    return ::ftruncate(fd_, static_cast<off_t>(length)) == 0 ? 0 : errno;
}

int OutputFile::setTimes(std::optional<UnixTime> accessed, std::optional<UnixTime> modified) {
    return setOpenFileTimes(fd_, accessed, modified);
}

int OutputFile::close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

int64_t freeSpaceAt(const std::string& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return -1;
    return static_cast<int64_t>(info.f_bavail) * static_cast<int64_t>(info.f_frsize);
}

uint64_t fileSizeLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
    return static_cast<uint64_t>(limit.rlim_cur);
}

}  // namespace vdrec::platform
