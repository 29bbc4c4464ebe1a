// A file's map from its first cluster and its chain, for the copier; the list texts of an entry.

#include <algorithm>

#include "fs/fat/fat_volume.h"
#include "fs/file_copier.h"
#include "platform/file_times.h"
#include "platform/text_format.h"

namespace vdrec::fs::fat {

FatListTexts FatVolume::listTexts(int64_t index) const {
    FatListTexts texts;
    if (!validEntry(index)) return texts;
    const ShortEntry& slot = entries_[index].slot;
    texts.created = platform::dosTimeText(slot.creationDate, slot.creationTime);
    texts.modified = platform::dosTimeText(slot.writeDate, slot.writeTime);
    texts.accessed = platform::format("%02d/%02d/%d ", (slot.accessDate >> 5) & 0x0F, slot.accessDate & 0x1F,
                                      1980 + (slot.accessDate >> 9));
    texts.size = platform::formatSize(dataSize(index));
    texts.attributes = attributeText(slot.attributes);
    return texts;
}

uint64_t FatVolume::dataSize(int64_t index) const {
    if (!validEntry(index) || entries_[index].isFolder()) return 0;
    return entries_[index].slot.size;
}

std::vector<FatVolume::Extent> FatVolume::fileExtents(const FatEntry& entry, bool& complete) const {
    std::vector<Extent> extents;
    complete = false;
    const uint64_t size = entry.slot.size;
    const uint64_t clusterBytes = geometry_.clusterBytes;
    const uint64_t first = entry.slot.firstCluster();
    if (size == 0) {
        complete = true;
        return extents;
    }
    if (clusterBytes == 0 || !fat_.isDataCluster(first)) return extents;
    const uint64_t needed = (size + clusterBytes - 1) / clusterBytes;
    auto add = [&](uint64_t cluster) {
        const uint64_t offset = *geometry_.clusterOffset(cluster);
        if (!extents.empty() && extents.back().offset + extents.back().bytes == offset) extents.back().bytes += clusterBytes;
        else extents.push_back({offset, clusterBytes});
    };
    uint64_t found = 0;
    // A deleted file's chain was cleared (its first entry is free): its data is taken as the
    // clusters that follow the first, as on a formatted drive. Live files keep their chain.
    if (formattedDrive || fat_.isFree(first)) {
        const uint64_t available = fat_.lastCluster() - first + 1;
        found = std::min(needed, available);
        if (found > 0) extents.push_back({*geometry_.clusterOffset(first), found * clusterBytes});
    } else {
        // At most `needed` steps: a chain that loops ends there.
        for (std::optional<uint64_t> cluster = first; cluster && found < needed; cluster = fat_.next(*cluster)) {
            add(*cluster);
            ++found;
        }
    }
    complete = found == needed;
    // The last extent ends with the file.
    uint64_t total = 0;
    for (Extent& extent : extents) {
        if (total + extent.bytes > size) extent.bytes = size - total;
        total += extent.bytes;
    }
    return extents;
}

CopyStatus FatVolume::mapFile(int64_t index, FileMap& map) const {
    if (!volume_.attached() || !validEntry(index) || entries_[index].isFolder()) return CopyStatus::Failed;
    const FatEntry& entry = entries_[index];
    bool complete = false;
    const std::vector<Extent> extents = fileExtents(entry, complete);
    // A first cluster that names no data cluster would copy FAT or root bytes: nothing is written.
    if (entry.slot.size != 0 && extents.empty()) return CopyStatus::Failed;
    // The file ends where its clusters do when the chain ends early.
    for (const Extent& extent : extents) {
        map.addDevice(map.size, extent.bytes, extent.offset);
        map.size += extent.bytes;
    }
    map.complete = complete;
    map.retryBytes = geometry_.clusterBytes;
    // FAT times are local wall-clock values without a zone; they are applied as they stand.
    map.accessed = platform::fromDosDateTime(entry.slot.accessDate, 0);
    map.modified = platform::fromDosDateTime(entry.slot.writeDate, entry.slot.writeTime);
    return CopyStatus::Ok;
}

CopyResult FatVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    FileMap map;
    const CopyStatus mapped = mapFile(index, map);
    if (mapped != CopyStatus::Ok) return {mapped, 0};
    return copyFile(volume_, map, destinationPath, sink_);
}

std::optional<std::vector<uint8_t>> FatVolume::readData(int64_t index, size_t maxBytes) const {
    if (!validEntry(index) || entries_[index].slot.size > maxBytes) return std::nullopt;
    FileMap map;
    if (mapFile(index, map) != CopyStatus::Ok) return std::nullopt;
    return readFileData(volume_, map, maxBytes);
}

}  // namespace vdrec::fs::fat
