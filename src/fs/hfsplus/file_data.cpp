// A file's data fork copied from its extents (the overflow ones included); the list texts.

#include <algorithm>
#include <cstring>

#include "fs/hfsplus/hfsplus_volume.h"
#include "platform/output_file.h"
#include "platform/text_format.h"

namespace vdrec::fs::hfsplus {

namespace {

// Data moves in reads of at most this size.
constexpr uint64_t kCopyChunkBytes = 4u * 1024 * 1024;

}  // namespace

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

CopyResult HfsPlusVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    CopyResult result;
    if (!volume_.attached() || blockBytes_ == 0 || !validEntry(index)) return result;
    const HfsEntry& e = entries_[static_cast<size_t>(index)];
    if (e.folder) return result;
    const uint64_t size = e.data.logicalSize;
    const uint64_t blockBytes = blockBytes_;
    int error = 0;
    // An empty file is still a file of the folder: it is written, empty, with its times.
    auto file = platform::OutputFile::create(destinationPath, platform::OutputFile::Mode::CreateNew, error);
    if (!file) return result;
    bool complete = true;
    uint64_t position = 0;  // file byte where the current extent starts
    std::vector<std::byte> buffer;
    for (const Extent& extent : allExtents(e.nodeId, e.data)) {
        if (position >= size || error != 0) break;
        const uint64_t bytes = std::min(extent.blockCount * blockBytes, size - position);
        // An extent past the volume's end is damage: its part of the file stays zeros.
        if (extent.startBlock > volumeBlocks_ || extent.blockCount > volumeBlocks_ - extent.startBlock) {
            complete = false;
            position += bytes;
            continue;
        }
        const uint64_t base = extent.startBlock * blockBytes;
        for (uint64_t done = 0; done < bytes && error == 0; done += kCopyChunkBytes) {
            const uint64_t piece = std::min(kCopyChunkBytes, bytes - done);
            if (readBytes(base + done, buffer, piece)) {
                error = file->writeAt(position + done, buffer.data(), static_cast<size_t>(piece));
                continue;
            }
            // Block by block then: an unreadable block stays zeros and later data keeps its offset.
            complete = false;
            for (uint64_t at = 0; at < piece && error == 0; at += blockBytes) {
                const uint64_t length = std::min(blockBytes, piece - at);
                if (readBytes(base + done + at, buffer, length))
                    error = file->writeAt(position + done + at, buffer.data(), static_cast<size_t>(length));
            }
        }
        position += bytes;
    }
    // Extents that cover less than the size (a lost overflow record): the rest is zeros, and
    // the copy says it is short.
    if (position < size) complete = false;
    if (error == 0) error = file->setLength(size);
    const int closed = file->close();
    if (error == 0) error = closed;
    if (error != 0) {
        sink_.message(platform::format("Exception :  %s   ", std::strerror(error)));
        return result;
    }
    // HFS+ dates are UTC seconds: applied as they stand, never shifted to local time.
    platform::setFileTimes(destinationPath, fromHfsDate(e.accessedDate), fromHfsDate(e.modifiedDate));
    result.bytesWritten = size;
    result.status = complete ? CopyStatus::Ok : CopyStatus::Short;
    return result;
}

std::optional<std::vector<uint8_t>> HfsPlusVolume::readData(int64_t index, size_t maxBytes) const {
    if (!volume_.attached() || blockBytes_ == 0 || !validEntry(index)) return std::nullopt;
    const HfsEntry& e = entries_[static_cast<size_t>(index)];
    if (e.folder || e.data.logicalSize > maxBytes) return std::nullopt;
    std::vector<std::byte> bytes;
    if (!readFork(allExtents(e.nodeId, e.data), 0, bytes, e.data.logicalSize)) return std::nullopt;
    std::vector<uint8_t> data(bytes.size());
    if (!bytes.empty()) std::memcpy(data.data(), bytes.data(), bytes.size());
    return data;
}

}  // namespace vdrec::fs::hfsplus
