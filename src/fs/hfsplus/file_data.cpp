// A file's data fork as a map of its extents (the overflow ones included); the list texts.

#include <algorithm>

#include "fs/file_copier.h"
#include "fs/hfsplus/hfsplus_volume.h"
#include "platform/text_format.h"

namespace vdrec::fs::hfsplus {

HfsListTexts HfsPlusVolume::listTexts(int64_t index) const {
    HfsListTexts texts;
    if (!validEntry(index)) return texts;
    const HfsEntry& e = entries_[static_cast<size_t>(index)];
    texts.created = platform::listTimeText(fromHfsDate(e.createdDate));
    texts.accessed = platform::listTimeText(fromHfsDate(e.accessedDate));
    texts.modified = platform::listTimeText(fromHfsDate(e.modifiedDate));
    texts.size = platform::formatSize(e.data.logicalSize);
    texts.attributes = hfsModeText(e.mode);
    return texts;
}

uint64_t HfsPlusVolume::dataSize(int64_t index) const {
    if (!validEntry(index) || entries_[static_cast<size_t>(index)].folder) return 0;
    return entries_[static_cast<size_t>(index)].data.logicalSize;
}

CopyStatus HfsPlusVolume::mapFile(int64_t index, FileMap& map) const {
    if (!volume_.attached() || blockBytes_ == 0 || !validEntry(index)) return CopyStatus::Failed;
    const HfsEntry& e = entries_[static_cast<size_t>(index)];
    if (e.folder) return CopyStatus::Failed;
    const uint64_t size = e.data.logicalSize;
    const uint64_t blockBytes = blockBytes_;
    map.size = size;
    map.retryBytes = blockBytes;
    // HFS+ dates are UTC seconds: applied as they stand, never shifted to local time.
    map.accessed = fromHfsDate(e.accessedDate);
    map.modified = fromHfsDate(e.modifiedDate);
    uint64_t position = 0;  // file byte where the current extent starts
    for (const Extent& extent : allExtents(e.nodeId, e.data)) {
        if (position >= size) break;
        const uint64_t extentBytes = extent.blockCount > UINT64_MAX / blockBytes ? UINT64_MAX : extent.blockCount * blockBytes;
        const uint64_t bytes = std::min(extentBytes, size - position);
        // An extent past the volume's end is damage: its part of the file stays zeros.
        if (extent.startBlock > volumeBlocks_ || extent.blockCount > volumeBlocks_ - extent.startBlock)
            map.addLost(position, bytes);
        else
            map.addDevice(position, bytes, extent.startBlock * blockBytes);
        position += bytes;
    }
    // Extents that cover less than the size (a lost overflow record): the rest is zeros, and
    // the copy says it is short.
    if (position < size) map.addLost(position, size - position);
    return CopyStatus::Ok;
}

CopyResult HfsPlusVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    FileMap map;
    const CopyStatus mapped = mapFile(index, map);
    if (mapped != CopyStatus::Ok) return {mapped, 0};
    return copyFile(volume_, map, destinationPath, sink_);
}

std::optional<std::vector<uint8_t>> HfsPlusVolume::readData(int64_t index, size_t maxBytes) const {
    if (!validEntry(index) || entries_[static_cast<size_t>(index)].data.logicalSize > maxBytes) return std::nullopt;
    FileMap map;
    if (mapFile(index, map) != CopyStatus::Ok) return std::nullopt;
    return readFileData(volume_, map, maxBytes);
}

}  // namespace vdrec::fs::hfsplus
