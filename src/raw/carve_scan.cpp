// Carver::run: the scan of the area, sector by sector, and the three ways a find is sized.

#include <algorithm>
#include <cstring>
#include <optional>

#include "raw/area_reader.h"
#include "raw/carver.h"
#include "raw/chunk_stream.h"
#include "raw/file_length.h"
#include "raw/start_index.h"

namespace vdrec::raw {

namespace {

constexpr uint64_t kMegabyte = 1u << 20;
constexpr uint64_t kProgressUnits = 1000;
constexpr uint8_t kWildcard = 0x2A;
// The end-signature search reads this much at a time.
constexpr size_t kSearchBlock = 256 * 1024;

uint64_t alignUp(uint64_t offset) { return (offset + kCarveSectorSize - 1) / kCarveSectorSize * kCarveSectorSize; }

// `base` + `add`, or `cap` when that passes it.
uint64_t cappedAdd(uint64_t base, uint64_t add, uint64_t cap) { return add >= cap - std::min(base, cap) ? cap : base + add; }

// The first position in `bytes` where the whole pattern lies; 0x2A in the pattern matches any byte.
std::optional<size_t> findPattern(const uint8_t* bytes, size_t size, const std::vector<uint8_t>& pattern) {
    const size_t length = pattern.size();
    if (length == 0 || size < length) return std::nullopt;
    const size_t last = size - length;
    const bool anchored = pattern[0] != kWildcard;
    for (size_t at = 0; at <= last; ++at) {
        if (anchored) {
            const void* hit = std::memchr(bytes + at, pattern[0], last - at + 1);
            if (!hit) return std::nullopt;
            at = static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes);
        }
        size_t k = 1;
        while (k < length && (pattern[k] == kWildcard || pattern[k] == bytes[at + k])) ++k;
        if (k == length) return at;
    }
    return std::nullopt;
}

}  // namespace

// A find's length and whether it is known (measured, ended by its end signature, given by its
// size field) or only a guess (up to the next start of its kind, or the approximate size).
struct Sizing {
    uint64_t length = 0;
    bool exact = false;
};

class CarveScan {
public:
    CarveScan(Carver& carver, AreaReader& area) : carver_(carver), area_(area), index_(carver.signatures_) {}

    // Tests the sector at `position` (bytes of a whole sector); returns where the scan goes on.
    uint64_t testSector(uint64_t position, const uint8_t* sector) {
        index_.matches(sector, candidates_);
        if (candidates_.empty()) return position + kCarveSectorSize;
        const uint64_t left = area_.areaBytes() - position;
        // A known format is sized by its own structure; the first candidate whose bytes form a
        // valid file of its kind wins.
        for (size_t id : candidates_) {
            const Signature& signature = carver_.signatures_[id];
            const CandidateRead read = [&](uint64_t offset, uint8_t* into, size_t size) -> size_t {
                if (offset >= left) return 0;
                return area_.read(position + offset, into, static_cast<size_t>(std::min<uint64_t>(size, left - offset)));
            };
            const auto length = measureFileLength(signature.extension, read, left);
            if (length && *length > 0 && *length <= left) return book(position, {*length, true}, signature);
        }
        const Signature& signature = carver_.signatures_[candidates_.front()];
        std::optional<Sizing> sizing;
        if (!signature.end.empty())
            sizing = sizeByEnd(signature, position);
        else if (signature.sizeField)
            sizing = sizeBySizeField(signature, position, sector);
        else if (signature.approximateSize > 0)
            sizing = Sizing{std::min(signature.approximateSize, left), false};
        if (!sizing || sizing->length == 0) return position + signature.skipBytes;
        return book(position, *sizing, signature);
    }

    // Books the guessed find still held once the scan has passed its end.
    void settle(uint64_t position) {
        if (pending_ && position >= pending_->position + pending_->length) finish();
    }
    // Books the guessed find still held, at the length it has.
    void finish() {
        if (!pending_) return;
        carver_.registerFind(pending_->position, pending_->length, *pending_->signature);
        pending_.reset();
    }

private:
    struct Pending {
        uint64_t position;
        uint64_t length;
        const Signature* signature;
    };

    uint64_t book(uint64_t position, Sizing sizing, const Signature& signature) {
        // A guessed length ends where the next find starts.
        if (pending_) {
            pending_->length = std::min(pending_->length, position - pending_->position);
            finish();
        }
        const uint64_t skipped = cappedAdd(position, signature.skipBytes, UINT64_MAX);
        if (!sizing.exact) {
            pending_ = Pending{position, sizing.length, &signature};
            return skipped;
        }
        carver_.registerFind(position, sizing.length, signature);
        // A file whose end is known is passed over whole, so what it embeds (thumbnails, the
        // members of an archive) is not listed again.
        return std::max(alignUp(position + sizing.length), skipped);
    }

    // The end signature searched at every byte after the start, up to the approximate size (the
    // area's end when none is given), and never past the next sector where the same kind starts
    // again. The file ends with the last byte of its end signature.
    std::optional<Sizing> sizeByEnd(const Signature& signature, uint64_t position) {
        const uint64_t areaBytes = area_.areaBytes();
        const uint64_t windowEnd =
            signature.approximateSize > 0 ? cappedAdd(position, signature.approximateSize, areaBytes) : areaBytes;
        const size_t endLength = signature.end.size();
        uint64_t at = position + signature.startOffset + signature.start.size();
        search_.resize(kSearchBlock + kCarveSectorSize);
        while (at < windowEnd) {
            const uint64_t blockEnd = std::min<uint64_t>(windowEnd, at + kSearchBlock);
            // Read a little further, so an end signature and a sector that straddle blockEnd are
            // whole in the buffer.
            const size_t got = area_.read(at, search_.data(), static_cast<size_t>(blockEnd - at) + kCarveSectorSize);
            // The next sector where this kind starts again closes the window; an end signature
            // begins inside the block and ends before that sector and the window's end.
            uint64_t limit = windowEnd;
            bool nextStart = false;
            const uint64_t lastQ = std::min<uint64_t>(windowEnd, blockEnd + endLength);
            for (uint64_t q = alignUp(std::max(at, position + 1)); q < lastQ; q += kCarveSectorSize) {
                if (q + kCarveSectorSize > at + got) break;
                if (StartIndex::startsWith(signature, search_.data() + (q - at))) {
                    limit = q;
                    nextStart = true;
                    break;
                }
            }
            const uint64_t spanEnd = std::min({at + got, blockEnd + endLength - 1, limit});
            if (auto found = findPattern(search_.data(), static_cast<size_t>(spanEnd - at), signature.end))
                return Sizing{at + *found + endLength - position, true};
            if (nextStart) return Sizing{limit - position, false};
            if (got == 0) break;
            at = blockEnd;
        }
        if (signature.approximateSize == 0) return std::nullopt;
        return Sizing{std::min(signature.approximateSize, areaBytes - position), false};
    }

    // The size field's value (plus the header when the size leaves it out) is the file's length.
    // A value of 0, or one above the approximate size when that is given, is no file.
    std::optional<Sizing> sizeBySizeField(const Signature& signature, uint64_t position, const uint8_t* sector) {
        const SizeField field = *signature.sizeField;
        uint64_t value = 0;
        for (uint32_t k = field.width; k-- > 0;) value = (value << 8) | sector[field.offset + k];
        if (value == 0) return std::nullopt;
        uint64_t length = value;
        if (!signature.sizeIncludesHeader) length = cappedAdd(value, signature.headerSize, UINT64_MAX);
        if (signature.approximateSize > 0 && length > signature.approximateSize) return std::nullopt;
        return Sizing{std::min(length, area_.areaBytes() - position), true};
    }

    Carver& carver_;
    AreaReader& area_;
    StartIndex index_;
    std::vector<size_t> candidates_;
    std::vector<uint8_t> search_;
    std::optional<Pending> pending_;
};

bool Carver::run(platform::UiSink& sink) {
    stop_.store(false);
    if (signatures_.empty()) {
        sink.message(kCarverNotInitialized);
        return false;
    }
    found_.clear();
    for (Category& category : categories_) category.count = 0;
    const image::DeviceSlice area = this->area();
    const uint64_t areaBytes = areaBytes_ / kCarveSectorSize * kCarveSectorSize;
    const auto megabytes = static_cast<int64_t>((areaBytes + kMegabyte - 1) / kMegabyte);
    sink.progressRange(0, kProgressUnits);
    sink.progressRange(0, megabytes);

    AreaReader areaReader(area, areaBytes);
    CarveScan scan(*this, areaReader);
    if (areaBytes > 0) {
        ChunkStream chunks(area, areaBytes);
        uint64_t position = 0;
        bool more = true;
        while (more && waitWhilePaused()) {
            const ChunkStream::Chunk& chunk = chunks.next();
            more = !chunk.last;
            const uint64_t chunkEnd = chunk.offset + chunk.size;
            areaReader.setChunk(chunk.bytes.data(), chunk.offset, chunk.size);
            position = std::max(position, chunk.offset);
            while (position < chunkEnd) {
                if (stop_.load(std::memory_order_relaxed)) break;
                if (paused_.load(std::memory_order_relaxed) && !waitWhilePaused()) break;
                position = scan.testSector(position, chunk.bytes.data() + (position - chunk.offset));
                scan.settle(position);
            }
            areaReader.setChunk(nullptr, 0, 0);
            chunks.release(position);
            if (stop_.load(std::memory_order_relaxed)) break;
            sink.progressPosition(static_cast<int64_t>(std::min(position, areaBytes) / kMegabyte));
            if (position >= areaBytes) break;
        }
    }
    scan.finish();
    sink.progressPosition(megabytes);
    sink.message(kCarveDone);
    return true;
}

}  // namespace vdrec::raw
