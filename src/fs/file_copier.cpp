#include "fs/file_copier.h"

#include <algorithm>
#include <cstring>

#include "platform/output_file.h"
#include "platform/text_format.h"

namespace vdrec::fs {

namespace {

// Data moves in pieces of at most this size, whatever the file's size.
constexpr uint64_t kCopyChunkBytes = 4u * 1024 * 1024;

uint64_t roundToSectors(uint64_t bytes) {
    return (bytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize;
}

bool holdsData(const FilePiece& piece) {
    return piece.kind == FilePiece::Kind::Device || piece.kind == FilePiece::Kind::Held ||
           piece.kind == FilePiece::Kind::Produced;
}

// Where the saved file ends: its size, unless that is more than the volume could hold, when
// only what is stored counts. A crafted size (2^62 bytes) is never written out as a hole.
struct SavedLength {
    uint64_t length = 0;
    bool capped = false;
};

SavedLength savedLength(const image::BlockDevice& volume, const FileMap& map) {
    if (map.size <= volume.size()) return {map.size, false};
    uint64_t end = 0;
    for (const FilePiece& piece : map.pieces)
        if (holdsData(piece)) end = std::max(end, std::min(map.size, piece.fileOffset + piece.length));
    return {end, true};
}

// Reads file data into a buffer the thread keeps: a fresh one per file would cost an allocation
// and its zeroing for every small file of a large save.
class PieceReader {
public:
    PieceReader(const image::BlockDevice& volume, const FileMap& map) : volume_(volume), map_(map) {}

    // Calls `take(fileOffset, bytes, count)` for every run of bytes of `piece` up to `end` that
    // could be read; what could not be read is left out and makes complete() false.
    template <typename Take>
    bool readPiece(const FilePiece& piece, uint64_t end, Take&& take) {
        const uint64_t length = std::min(piece.length, end - piece.fileOffset);
        for (uint64_t done = 0; done < length; done += kCopyChunkBytes) {
            const uint64_t bytes = std::min(kCopyChunkBytes, length - done);
            if (!readChunk(piece.fileOffset + done, piece.source + done, bytes, take)) return false;
        }
        return true;
    }

    bool complete() const { return complete_; }
    void markShort() { complete_ = false; }

private:
    template <typename Take>
    bool readChunk(uint64_t fileOffset, uint64_t deviceOffset, uint64_t bytes, Take&& take) {
        const uint64_t sectors = roundToSectors(bytes);
        buffer().resize(static_cast<size_t>(sectors));
        const size_t arrived = readSome(deviceOffset, sectors, bytes);
        if (arrived >= bytes) return take(fileOffset, buffer().data(), static_cast<size_t>(bytes));
        complete_ = false;
        // An unreadable piece stays zeros at its place: what arrived before it is kept, and the
        // rest is read again a block at a time so one bad sector costs one block.
        const uint64_t retry = std::max<uint64_t>(image::kSectorSize, map_.retryBytes);
        if (arrived > 0 && !take(fileOffset, buffer().data(), arrived)) return false;
        if (pastEnd_) return true;
        for (uint64_t at = arrived / retry * retry; at < bytes; at += retry) {
            const uint64_t count = std::min(retry, bytes - at);
            buffer().resize(static_cast<size_t>(roundToSectors(count)));
            const image::ReadResult result = volume_.read(deviceOffset + at, buffer().data(), buffer().size());
            const size_t got = std::min<size_t>(result.bytes, static_cast<size_t>(count));
            if (got > 0 && !take(fileOffset + at, buffer().data(), got)) return false;
            // Nothing lies past the volume's end: the rest of the piece is zeros too.
            if (result.error == image::ReadResult::Error::PastEnd) break;
        }
        return true;
    }

    // Reads `sectors` bytes at `deviceOffset` into the buffer; how many of the first `bytes`
    // arrived.
    size_t readSome(uint64_t deviceOffset, uint64_t sectors, uint64_t bytes) {
        // The files of one folder mostly lie one after another: a small read that starts shortly
        // after the thread's previous one comes from the device's nearby piece. Reads far apart
        // (an aged volume) skip it, or a piece per file would copy far more than it reads.
        thread_local uint64_t previousEnd = UINT64_MAX;
        pastEnd_ = false;
        const bool following = deviceOffset >= previousEnd && deviceOffset - previousEnd < image::BlockDevice::kNearbyPieceBytes;
        previousEnd = deviceOffset + sectors;
        if (following && sectors <= image::BlockDevice::kNearbyPieceBytes &&
            volume_.readNearby(deviceOffset, buffer().data(), static_cast<size_t>(sectors),
                               image::BlockDevice::Nearby::FileData))
            return static_cast<size_t>(bytes);
        const image::ReadResult result = volume_.read(deviceOffset, buffer().data(), static_cast<size_t>(sectors));
        pastEnd_ = result.error == image::ReadResult::Error::PastEnd;
        return result.complete() ? static_cast<size_t>(bytes) : result.bytes;
    }

    static std::vector<uint8_t>& buffer() {
        thread_local std::vector<uint8_t> bytes;
        return bytes;
    }

    const image::BlockDevice& volume_;
    const FileMap& map_;
    bool complete_ = true;
    bool pastEnd_ = false;
};

// Visits the bytes of every piece up to `end` that holds any, in file order, through `take`;
// false when `take` failed.
template <typename Take>
bool visitData(const FileMap& map, uint64_t end, PieceReader& reader, Take&& take) {
    std::vector<uint8_t> produced;
    for (const FilePiece& piece : map.pieces) {
        if (piece.fileOffset >= end) break;
        const uint64_t length = std::min(piece.length, end - piece.fileOffset);
        switch (piece.kind) {
            case FilePiece::Kind::Hole: break;
            case FilePiece::Kind::Lost: reader.markShort(); break;
            case FilePiece::Kind::Device:
                if (!reader.readPiece(piece, end, take)) return false;
                break;
            case FilePiece::Kind::Held:
                if (piece.source > map.held.size() || length > map.held.size() - piece.source) {
                    reader.markShort();
                    break;
                }
                if (!take(piece.fileOffset, map.held.data() + piece.source, static_cast<size_t>(length))) return false;
                break;
            case FilePiece::Kind::Produced:
                if (!map.produce) {
                    reader.markShort();
                    break;
                }
                for (uint64_t done = 0; done < length; done += kCopyChunkBytes) {
                    const uint64_t bytes = std::min(kCopyChunkBytes, length - done);
                    produced.assign(static_cast<size_t>(bytes), 0);
                    if (!map.produce(piece.fileOffset + done, produced.data(), produced.size())) reader.markShort();
                    if (!take(piece.fileOffset + done, produced.data(), produced.size())) return false;
                }
                break;
        }
    }
    return true;
}

}  // namespace

CopyResult copyFile(const image::BlockDevice& volume, const FileMap& map, const std::string& destinationPath,
                    platform::UiSink& sink) {
    CopyResult result;
    const SavedLength saved = savedLength(volume, map);
    if (saved.capped)
        sink.message(platform::format("%s: the recorded size of %llu bytes is more than the volume holds; %llu bytes were saved.",
                                      destinationPath.c_str(), static_cast<unsigned long long>(map.size),
                                      static_cast<unsigned long long>(saved.length)));
    bool complete = map.complete && !saved.capped;
    if (saved.length == 0) {
        for (const FilePiece& piece : map.pieces) complete = complete && piece.kind != FilePiece::Kind::Lost;
        if (platform::OutputFile::createEmpty(destinationPath, map.accessed, map.modified) != 0) return result;
        result.status = complete ? CopyStatus::Ok : CopyStatus::Short;
        return result;
    }
    int error = 0;
    auto file = platform::OutputFile::create(destinationPath, platform::OutputFile::Mode::CreateNew, error);
    if (!file) return result;
    PieceReader reader(volume, map);
    uint64_t writtenEnd = 0;
    visitData(map, saved.length, reader, [&](uint64_t offset, const uint8_t* bytes, size_t count) {
        error = file->writeAt(offset, bytes, count);
        if (error != 0) return false;
        writtenEnd = std::max<uint64_t>(writtenEnd, offset + count);
        return true;
    });
    // A file that ends in a hole, or whose last bytes could not be read, gets its length here.
    if (error == 0 && writtenEnd < saved.length) error = file->setLength(saved.length);
    // On the open file after its last change, which spares a path lookup per file.
    if (error == 0) file->setTimes(map.accessed, map.modified);
    const int closed = file->close();
    if (error == 0) error = closed;
    if (error != 0) {
        result.bytesWritten = writtenEnd;
        sink.message(platform::format("Exception :  %s   ", std::strerror(error)));
        return result;
    }
    result.bytesWritten = saved.length;
    result.status = complete && reader.complete() ? CopyStatus::Ok : CopyStatus::Short;
    return result;
}

namespace {

std::vector<uint8_t> readInto(const image::BlockDevice& volume, const FileMap& map, bool& complete) {
    std::vector<uint8_t> data(static_cast<size_t>(map.size), 0);
    PieceReader reader(volume, map);
    visitData(map, map.size, reader, [&](uint64_t offset, const uint8_t* bytes, size_t count) {
        std::memcpy(data.data() + offset, bytes, count);
        return true;
    });
    complete = reader.complete() && map.complete;
    return data;
}

}  // namespace

std::optional<std::vector<uint8_t>> readFileData(const image::BlockDevice& volume, const FileMap& map, size_t maxBytes) {
    if (map.size > maxBytes || !map.complete || map.size > volume.size()) return std::nullopt;
    bool complete = false;
    std::vector<uint8_t> data = readInto(volume, map, complete);
    if (!complete) return std::nullopt;
    return data;
}

std::vector<uint8_t> readAvailableData(const image::BlockDevice& volume, const FileMap& map, size_t maxBytes) {
    if (map.size > maxBytes || map.size > volume.size()) return {};
    bool complete = false;
    return readInto(volume, map, complete);
}

}  // namespace vdrec::fs
