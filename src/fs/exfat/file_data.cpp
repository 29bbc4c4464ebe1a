// A file's clusters as its map for the copier, and the list texts of an entry.

#include <algorithm>

#include "fs/exfat/exfat_volume.h"
#include "fs/fat/directory_entry.h"
#include "fs/file_copier.h"
#include "platform/file_times.h"
#include "platform/text_format.h"

namespace vdrec::fs::exfat {

namespace {

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

CopyStatus ExfatVolume::mapFile(int64_t index, FileMap& map) const {
    if (!volume_.attached() || !validEntry(index) || entries_[index].set.isFolder()) return CopyStatus::Failed;
    const EntrySet& set = entries_[index].set;
    bool complete = false;
    const std::vector<Extent> extents = fileExtents(set, complete);
    // A first cluster outside the heap would copy metadata: nothing is written.
    if (set.dataLength != 0 && extents.empty()) return CopyStatus::Failed;
    // What lies past the valid data length was never written by the file system: zeros, left
    // holes. The file ends where its clusters do when the chain ends early.
    const uint64_t valid = std::min(set.validDataLength, set.dataLength);
    for (const Extent& extent : extents) {
        const uint64_t stored = map.size < valid ? std::min(extent.bytes, valid - map.size) : 0;
        map.addDevice(map.size, stored, extent.offset);
        map.addHole(map.size + stored, extent.bytes - stored);
        map.size += extent.bytes;
    }
    map.complete = complete;
    map.retryBytes = geometry_.clusterBytes;
    map.accessed = timestampTime(set.accessedTimestamp, 0, set.accessedUtcOffset);
    map.modified = timestampTime(set.modifiedTimestamp, set.modified10ms, set.modifiedUtcOffset);
    return CopyStatus::Ok;
}

CopyResult ExfatVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    FileMap map;
    const CopyStatus mapped = mapFile(index, map);
    if (mapped != CopyStatus::Ok) return {mapped, 0};
    return copyFile(volume_, map, destinationPath, sink_);
}

std::optional<std::vector<uint8_t>> ExfatVolume::readData(int64_t index, size_t maxBytes) const {
    if (!validEntry(index) || entries_[index].set.dataLength > maxBytes) return std::nullopt;
    FileMap map;
    if (mapFile(index, map) != CopyStatus::Ok) return std::nullopt;
    return readFileData(volume_, map, maxBytes);
}

}  // namespace vdrec::fs::exfat
