#pragma once
// Files vdrec writes: saved files, carved files and exported disk images. Always created in a
// folder the user chose; never opened on an existing file unless the caller asks to replace it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_times.h"

namespace vdrec::platform {

class OutputFile {
public:
    enum class Mode { CreateNew, CreateOrReplace };

    // nullptr on failure; `error` receives errno.
    static std::unique_ptr<OutputFile> create(const std::string& path, Mode mode, int& error);
    // A new empty file with its times, made without opening it: two calls instead of three,
    // which counts when a save makes tens of thousands of them. 0 or the errno of the failure.
    static int createEmpty(const std::string& path, std::optional<UnixTime> accessed, std::optional<UnixTime> modified);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Each returns 0 on success or the errno of the failure.
    int writeAt(uint64_t offset, const void* data, size_t size);
    int setLength(uint64_t length);
    // Last access and last write, set after the last write (a write would change them again).
    int setTimes(std::optional<UnixTime> accessed, std::optional<UnixTime> modified);
    int close();

private:
    explicit OutputFile(int fd) : fd_(fd) {}
    int fd_;
};

// While one lives on a thread, the files that thread creates are opened from a handle on their
// folder kept since the previous file, so a walk that fills one folder after another resolves
// each folder's path once instead of once per file. Made for the length of one save walk: a
// folder renamed meanwhile keeps receiving that walk's files, as an open folder would.
class FolderHandleCache {
public:
    FolderHandleCache();
    ~FolderHandleCache();
    FolderHandleCache(const FolderHandleCache&) = delete;
    FolderHandleCache& operator=(const FolderHandleCache&) = delete;

    // The open descriptor for `path`'s own name: -1 when `path` names no folder to hold it.
    int openIn(const std::string& path, int flags);
    // The descriptor of `path`'s folder (AT_FDCWD when it cannot be held) and the name to use
    // with it: the last part of `path`, or the whole path with AT_FDCWD.
    int folderOf(const std::string& path, const char*& name);

private:
    std::string folder_;
    int folderFd_ = -1;
};

// Unlinks a path; used for the free-space probe, which must never leave a file behind.
void removeFile(const std::string& path);

// Bytes available to an unprivileged writer in the folder holding `path`, or -1 when unknown.
int64_t freeSpaceAt(const std::string& folder);
// The largest file this process may write (its file-size limit), in bytes.
uint64_t fileSizeLimit();

}  // namespace vdrec::platform
