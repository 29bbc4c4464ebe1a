#include "volumes/disk_export.h"

#include <cerrno>
#include <condition_variable>
#include <optional>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "image/image_kind.h"
#include "platform/folders.h"
#include "platform/output_file.h"
#include "platform/text_format.h"

namespace vdrec::volumes {

namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;
constexpr uint64_t kGigabyte = 1024 * kMegabyte;
// Zero runs of this size are left as holes in the output; the bytes read back are the same.
constexpr size_t kHoleGranule = 64 * 1024;

constexpr std::string_view kNoSpace = "Insufficient Disk Space in saving Location";

bool isAllZero(const uint8_t* data, size_t size) {
    static const uint8_t zeros[kHoleGranule] = {};
    return std::memcmp(data, zeros, size) == 0;
}

// Writes the non-zero granules of `data`; returns 0 or the errno of the failed write.
int writeSparse(platform::OutputFile& out, uint64_t offset, const uint8_t* data, size_t size) {
    size_t runStart = 0;
    bool inRun = false;
    for (size_t at = 0; at < size; at += kHoleGranule) {
        const size_t piece = std::min(kHoleGranule, size - at);
        const bool zero = isAllZero(data + at, piece);
        if (!zero && !inRun) {
            runStart = at;
            inRun = true;
        } else if (zero && inRun) {
            if (int error = out.writeAt(offset + runStart, data + runStart, at - runStart)) return error;
            inRun = false;
        }
    }
    if (inRun) return out.writeAt(offset + runStart, data + runStart, size - runStart);
    return 0;
}

// Reads the disk in chunks, in order, on its own thread, up to kSlots chunks ahead of the
// writer, so that reading the image and writing the copy overlap without a hand-over per
// chunk. Only this thread touches the reader while it runs.
class ReadAhead {
public:
    static constexpr size_t kSlots = 4;

    struct Chunk {
        std::vector<uint8_t> bytes;
        uint32_t size = 0;
        bool ok = false;
    };

    ReadAhead(const image::BlockDevice& reader, uint64_t totalBytes) : reader_(reader), totalBytes_(totalBytes) {
        for (auto& slot : slots_) slot.bytes.resize(static_cast<size_t>(std::min(kExportChunkBytes, totalBytes)));
        thread_ = std::thread([this] { readAll(); });
    }
    ~ReadAhead() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next chunk in disk order, once it has been read; valid until release().
    const Chunk& next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return filled_ > 0; });
        return slots_[head_];
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            head_ = (head_ + 1) % kSlots;
            --filled_;
        }
        changed_.notify_all();
    }

private:
    void readAll() {
        size_t tail = 0;
        for (uint64_t offset = 0; offset < totalBytes_; offset += kExportChunkBytes) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || filled_ < kSlots; });
                if (stopping_) return;
            }
            Chunk& chunk = slots_[tail];
            chunk.size = static_cast<uint32_t>(std::min(kExportChunkBytes, totalBytes_ - offset));
            chunk.ok = reader_.readAt(static_cast<int64_t>(offset), chunk.bytes.data(), chunk.size);
            {
                std::lock_guard lock(mutex_);
                ++filled_;
            }
            changed_.notify_all();
            if (!chunk.ok) return;  // the writer stops at this chunk
            tail = (tail + 1) % kSlots;
        }
    }

    const image::BlockDevice& reader_;
    const uint64_t totalBytes_;
    Chunk slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t head_ = 0;
    size_t filled_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

}  // namespace

std::string exportOutputPath(const std::string& imagePath, const std::string& folder) {
    const std::string base = platform::withTrailingSeparator(folder);
    // The image's file name however the path was written (a bare "disk.vhd" from the command
    // line too); the fallback only when the path names no file.
    const auto slash = imagePath.rfind(platform::kPathSeparator);
    const std::string fileName = slash == std::string::npos ? imagePath : imagePath.substr(slash + 1);
    const std::string name = fileName.empty() ? std::string("Recovered_diskimg.img") : fileName + ".img";
    std::string candidate = base + name;
    for (unsigned long n = 1; platform::pathExists(candidate); ++n) candidate = base + std::to_string(n) + name;
    return candidate;
}

DiskExport::Outcome DiskExport::run(const std::string& outputPath) {
    state_.reader = image::makeReader(state_.imageKind, state_, sink_);
    if (!state_.reader) {
        sink_.message("Information lost, please click Back button and parse again");
        return Outcome::Failed;
    }
    if (onBusy) onBusy(true);
    const Outcome outcome = copy(outputPath);
    state_.reader.reset();
    state_.totalSectors = 0;
    if (onBusy) onBusy(false);
    return outcome;
}

DiskExport::Outcome DiskExport::copy(const std::string& outputPath) {
    bytesDone_ = 0;
    image::ImageReader& reader = *state_.reader;
    if (!reader.open(state_.imagePath)) return Outcome::Failed;

    const uint64_t sectors = state_.totalSectors != 0 ? state_.totalSectors
                                                       : static_cast<uint64_t>(reader.fileLength) / image::kSectorSize;
    if (sectors > INT64_MAX / image::kSectorSize) {
        sink_.message(kNoSpace);
        return Outcome::Failed;
    }
    const uint64_t totalBytes = sectors * image::kSectorSize;

    // A probe file, removed at once, shows that the target takes a new file; the free space is
    // compared with the whole size so that a full target is found before anything is written.
    // Asking the file system for the free space instead of reserving the size in the probe
    // keeps a memory-backed target from zeroing and freeing the whole size once for nothing.
    {
        int error = 0;
        auto probe = platform::OutputFile::create(outputPath, platform::OutputFile::Mode::CreateNew, error);
        if (!probe) {
            sink_.message("File cannot be Created");
            return Outcome::Failed;
        }
        platform::removeFile(outputPath);
        const int64_t free = platform::freeSpaceAt(folderOf(outputPath));
        const bool roomOnTarget = free < 0 || static_cast<uint64_t>(free) >= totalBytes;
        if (!roomOnTarget || totalBytes > platform::fileSizeLimit()) {
            sink_.message(kNoSpace);
            return Outcome::Failed;
        }
    }

    int error = 0;
    auto out = platform::OutputFile::create(outputPath, platform::OutputFile::Mode::CreateNew, error);
    if (!out) {
        sink_.message("Disk Image file cannot be created");
        return Outcome::Failed;
    }

    sink_.progressRange(0, static_cast<int64_t>(sectors));
    sink_.progressPosition(0);
    const auto totalMegabytes = static_cast<long long>(totalBytes / kMegabyte);
    const long double totalGigabytes = static_cast<long double>(totalBytes) / kGigabyte;

    Outcome outcome = Outcome::Saved;
    std::optional<ReadAhead> chunks;
    if (totalBytes > 0) chunks.emplace(reader, totalBytes);
    for (uint64_t offset = 0; offset < totalBytes; offset += kExportChunkBytes) {
        const ReadAhead::Chunk& read = chunks->next();
        if (!read.ok) {
            sink_.status(platform::format("Exit with error number %d", reader.lastError()));
            outcome = Outcome::Failed;
            break;
        }
        const uint32_t chunk = read.size;
        const int writeError = writeSparse(*out, offset, read.bytes.data(), chunk);
        chunks->release();
        if (writeError) {
            sink_.message(writeError == ENOSPC ? std::string(kNoSpace)
                                               : platform::format("Error %d while writing in File", writeError));
            outcome = Outcome::Failed;
            break;
        }
        bytesDone_ = offset + chunk;
        if (stopRequested) {
            stopRequested = false;
            outcome = Outcome::Stopped;
            break;
        }
        if (bytesDone_ % kExportProgressStep == 0)
            sink_.progressPosition(static_cast<int64_t>(bytesDone_ / image::kSectorSize));
        sink_.status(platform::format("%lld MB of %lld MB or %Lf GB of %Lf GB Saved",
                                      static_cast<long long>(bytesDone_ / kMegabyte), totalMegabytes,
                                      static_cast<long double>(bytesDone_) / kGigabyte, totalGigabytes));
    }
    // A read still in flight after an early end is waited for before the reader goes away.
    chunks.reset();

    // Holes at the end still count: the image is exactly as long as what was copied.
    if (int lengthError = out->setLength(bytesDone_); lengthError != 0 && outcome != Outcome::Failed) {
        sink_.message(platform::format("Error %d while writing in File", lengthError));
        outcome = Outcome::Failed;
    }
    if (int closeError = out->close(); closeError != 0 && outcome != Outcome::Failed) {
        sink_.message(closeError == ENOSPC ? std::string(kNoSpace)
                                           : platform::format("Error %d while writing in File", closeError));
        outcome = Outcome::Failed;
    }
    // A failed copy keeps its error on the status line instead of claiming the image was saved.
    if (outcome != Outcome::Failed) sink_.status("Image Saved,Choose any one of the mode and click next.");
    return outcome;
}

}  // namespace vdrec::volumes
