// A file's clusters, copying its data out, and the list texts of an entry.

#include <algorithm>
#include <cstring>

#include "fs/exfat/exfat_volume.h"
#include "fs/fat/directory_entry.h"
#include "platform/file_times.h"
#include "platform/output_file.h"
#include "platform/text_format.h"

namespace vdrec::fs::exfat {

namespace {

// Data moves in reads of at most this size, whatever the file's size.
constexpr uint64_t kCopyChunkBytes = 4u * 1024 * 1024;

// A UtcOffset byte: bit 7 marks it valid, bits 0-6 are a signed count of 15-minute steps.
std::optional<int64_t> utcOffsetSeconds(uint8_t offset) {
    if ((offset & 0x80) == 0) return std::nullopt;
    int value = offset & 0x7F;
    if (value >= 64) value -= 128;
    return int64_t{value} * 15 * 60;
}

// The timestamp as UTC: the stored local time less its UtcOffset when that is valid (a writer
// that gives none leaves the time as it stands, as FAT's are).
std::optional<platform::UnixTime> timestampTime(uint32_t timestamp, uint8_t tenMs, uint8_t offset) {
    auto time = platform::fromDosDateTime(static_cast<uint16_t>(timestamp >> 16), static_cast<uint16_t>(timestamp));
    if (!time) return std::nullopt;
    if (tenMs < 200) {
        time->seconds += tenMs / 100;
        time->nanoseconds = static_cast<uint32_t>(tenMs % 100) * 10000000u;
    }
    if (const auto shift = utcOffsetSeconds(offset)) time->seconds -= *shift;
    return time;
}

std::string timeText(uint32_t timestamp, uint8_t offset) {
    if (utcOffsetSeconds(offset)) {
        const auto time = timestampTime(timestamp, 0, offset);
        if (time) return platform::listTimeText(*time);
    }
    return platform::dosTimeText(static_cast<uint16_t>(timestamp >> 16), static_cast<uint16_t>(timestamp & 0xFFFF));
}

}  // namespace

ExfatListTexts ExfatVolume::listTexts(int64_t index) const {
    ExfatListTexts texts;
    if (!validEntry(index)) return texts;
    const EntrySet& set = entries_[index].set;
    texts.created = timeText(set.createTimestamp, set.createUtcOffset);
    texts.accessed = timeText(set.accessedTimestamp, set.accessedUtcOffset);
    texts.modified = timeText(set.modifiedTimestamp, set.modifiedUtcOffset);
    texts.size = platform::formatSize(dataSize(index));
    texts.attributes = fat::attributeText(set.attributes);
    return texts;
}

uint64_t ExfatVolume::dataSize(int64_t index) const {
    if (!validEntry(index) || entries_[index].set.isFolder()) return 0;
    return entries_[index].set.dataLength;
}

std::vector<ExfatVolume::Extent> ExfatVolume::fileExtents(const EntrySet& set, bool& complete) const {
    std::vector<Extent> extents;
    complete = false;
    const uint64_t size = set.dataLength;
    const uint64_t clusterBytes = geometry_.clusterBytes;
    if (size == 0) {
        complete = true;
        return extents;
    }
    if (clusterBytes == 0 || !geometry_.isDataCluster(set.firstCluster)) return extents;
    const uint64_t needed = size / clusterBytes + (size % clusterBytes != 0);
    uint64_t found = 0;
    // A contiguous file needs no FAT; neither does one on a formatted drive, nor a deleted one
    // whose chain is gone (its first FAT entry free).
    if (set.contiguous() || formattedDrive || (set.deleted && fat_.isFree(set.firstCluster))) {
        const uint64_t available = geometry_.clusterCount - (set.firstCluster - 2);
        found = std::min(needed, available);
        extents.push_back({*geometry_.clusterOffset(set.firstCluster), found * clusterBytes});
    } else {
        // At most `needed` steps: a chain that loops ends there.
        for (std::optional<uint64_t> cluster = set.firstCluster; cluster && found < needed; cluster = fat_.next(*cluster)) {
            const uint64_t offset = *geometry_.clusterOffset(*cluster);
            if (!extents.empty() && extents.back().offset + extents.back().bytes == offset) extents.back().bytes += clusterBytes;
            else extents.push_back({offset, clusterBytes});
            ++found;
        }
    }
    complete = found == needed;
    uint64_t total = 0;
    for (Extent& extent : extents) {
        if (total + extent.bytes > size) extent.bytes = size - total;
        total += extent.bytes;
    }
    return extents;
}

// `write(offset, data, bytes)` returns 0 or an errno. DataLength bytes are produced: what lies
// past the valid data length was never written by the file system and is given as zeros.
template <typename Write>
bool ExfatVolume::copyData(const EntrySet& set, Write&& write) const {
    bool complete = false;
    const std::vector<Extent> extents = fileExtents(set, complete);
    const uint64_t valid = std::min(set.validDataLength, set.dataLength);
    std::vector<uint8_t> buffer;
    uint64_t done = 0;
    for (const Extent& extent : extents) {
        for (uint64_t in = 0; in < extent.bytes; in += kCopyChunkBytes) {
            const uint64_t bytes = std::min(kCopyChunkBytes, extent.bytes - in);
            buffer.assign((bytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize, 0);
            const uint64_t readable = done < valid ? std::min(bytes, valid - done) : 0;
            const uint64_t at = extent.offset + in;
            if (readable > 0) {
                const uint32_t request = static_cast<uint32_t>((readable + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize);
                if (at > INT64_MAX || !volume_.readAt(static_cast<int64_t>(at), buffer.data(), request)) complete = false;
                std::fill(buffer.begin() + static_cast<ptrdiff_t>(readable), buffer.end(), 0);
            }
            if (write(done, buffer.data(), static_cast<size_t>(bytes)) != 0) return false;
            done += bytes;
        }
    }
    return complete;
}

CopyResult ExfatVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    CopyResult result;
    if (!volume_.attached() || !validEntry(index) || entries_[index].set.isFolder()) return result;
    const EntrySet& set = entries_[index].set;
    bool complete = false;
    // A first cluster outside the heap would copy metadata: nothing is written.
    if (set.dataLength != 0 && fileExtents(set, complete).empty()) return result;

    int error = 0;
    auto file = platform::OutputFile::create(destinationPath, platform::OutputFile::Mode::CreateNew, error);
    if (!file) return result;
    uint64_t written = 0;
    complete = copyData(set, [&](uint64_t offset, const uint8_t* data, size_t bytes) {
        error = file->writeAt(offset, data, bytes);
        if (error == 0) written = offset + bytes;
        return error;
    });
    const int closed = file->close();
    if (error == 0) error = closed;
    result.bytesWritten = written;
    if (error != 0) {
        sink_.message(platform::format("Exception :  %s   ", std::strerror(error)));
        return result;
    }
    platform::setFileTimes(destinationPath,
                           timestampTime(set.accessedTimestamp, 0, set.accessedUtcOffset),
                           timestampTime(set.modifiedTimestamp, set.modified10ms, set.modifiedUtcOffset));
    result.status = complete ? CopyStatus::Ok : CopyStatus::Short;
    return result;
}

std::optional<std::vector<uint8_t>> ExfatVolume::readData(int64_t index, size_t maxBytes) const {
    if (!volume_.attached() || !validEntry(index) || entries_[index].set.isFolder()) return std::nullopt;
    const EntrySet& set = entries_[index].set;
    if (set.dataLength > maxBytes) return std::nullopt;
    std::vector<uint8_t> data(static_cast<size_t>(set.dataLength));
    const bool complete = copyData(set, [&](uint64_t offset, const uint8_t* bytes, size_t count) {
        std::memcpy(data.data() + offset, bytes, count);
        return 0;
    });
    if (!complete) return std::nullopt;
    return data;
}

}  // namespace vdrec::fs::exfat
