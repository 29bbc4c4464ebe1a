#pragma once
// The one way the system reads a disk image: seek to a byte offset of the virtual disk (or of a
// volume, once baseOffset is set), then read whole 512-byte sectors from there.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/image_file.h"
#include "platform/ui_sink.h"

namespace vdrec::image {

inline constexpr uint32_t kSectorSize = 512;

struct WizardState;

class ImageReader {
public:
    enum MoveMethod : uint32_t { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

    ImageReader(WizardState& state, platform::UiSink& sink);
    virtual ~ImageReader() = default;
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    // Opens the image at `path` read-only; writes WizardState::totalSectors.
    virtual bool open(const std::string& path);
    // Opens an already opened byte source; `path` names it for the checks that look at names.
    virtual bool openSource(const std::string& path, std::unique_ptr<platform::ByteSource> source) = 0;
    // Reads `count` bytes at the current position into `buffer` and advances the position.
    // Bytes the image does not hold read as zeros; false when any part lay outside the disk.
    virtual bool read(void* buffer, uint32_t count) = 0;
    // Moves the position; offsets of method FromStart are relative to baseOffset.
    // False when the position cannot be mapped onto the image.
    virtual bool seek(int64_t offset, uint32_t method = FromStart) = 0;

    // seek(offset) then read(count): the pairing every caller uses. Safe to call from several
    // threads at once (the pair is done under a lock, or needs none), so saving may copy files
    // in parallel.
    virtual bool readAt(int64_t offset, void* buffer, uint32_t count);
    // readAt for small reads that tend to come as neighbours (records, inodes of one folder,
    // the data of small files made together): each thread keeps, per kind of read, the last
    // aligned piece of kNearbyPieceBytes it read and serves such reads from it. The same bytes
    // and result as readAt; a read the piece cannot serve goes to readAt.
    enum class Nearby { Records, FileData };
    bool readNearby(int64_t offset, void* buffer, uint32_t count, Nearby kind = Nearby::Records);
    static constexpr uint32_t kNearbyPieceBytes = 64 * 1024;
    // The platform error behind the last failed read; EIO when the failure was not the platform's.
    int lastError() const;

    std::vector<uint32_t> blockMap;
    uint64_t blockMapCount = 0;
    int64_t baseOffset = 0;
    int64_t fileLength = 0;
    bool mapped = true;

protected:
    platform::ByteSource* source() const { return source_.get(); }

    WizardState& state_;
    platform::UiSink& sink_;
    std::unique_ptr<platform::ByteSource> source_;
    // Absolute byte position in the virtual disk (baseOffset included). Atomic: a reader that
    // needs no lock for readAt still moves it from several threads.
    std::atomic<int64_t> position_{0};

private:
    std::mutex readLock_;
    // Tells readers apart for the per-thread pieces, even one made where another was freed.
    const uint64_t serial_;
};

}  // namespace vdrec::image
