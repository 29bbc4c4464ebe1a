// A file's data from its first cluster and its chain, the list texts of an entry, and saving.

#include <algorithm>
#include <cstring>

#include "fs/fat/fat_volume.h"
#include "platform/file_times.h"
#include "platform/output_file.h"
#include "platform/text_format.h"

namespace vdrec::fs::fat {

namespace {

// Data moves in reads of at most this size.
constexpr uint64_t kCopyChunkBytes = 4u * 1024 * 1024;

}  // namespace

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

CopyResult FatVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    CopyResult result;
    if (!volume_.attached() || !validEntry(index) || entries_[index].isFolder()) return result;
    const FatEntry& entry = entries_[index];
    bool complete = false;
    const std::vector<Extent> extents = fileExtents(entry, complete);
    // A first cluster that names no data cluster would copy FAT or root bytes: nothing is written.
    if (entry.slot.size != 0 && extents.empty()) return result;

    int error = 0;
    auto file = platform::OutputFile::create(destinationPath, platform::OutputFile::Mode::CreateNew, error);
    if (!file) return result;
    std::vector<uint8_t> buffer;
    uint64_t written = 0;
    for (const Extent& extent : extents) {
        for (uint64_t done = 0; done < extent.bytes && error == 0; done += kCopyChunkBytes) {
            const uint64_t bytes = std::min(kCopyChunkBytes, extent.bytes - done);
            buffer.resize((bytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize);
            const uint64_t at = extent.offset + done;
            if (at > INT64_MAX || !volume_.readAt(static_cast<int64_t>(at), buffer.data(), static_cast<uint32_t>(buffer.size())))
                complete = false;
            error = file->writeAt(written, buffer.data(), static_cast<size_t>(bytes));
            if (error == 0) written += bytes;
        }
    }
    // FAT times are local wall-clock values without a zone; they are applied as they stand, on
    // the open file after its last write, which spares a path lookup per file.
    if (error == 0)
        file->setTimes(platform::fromDosDateTime(entry.slot.accessDate, 0),
                       platform::fromDosDateTime(entry.slot.writeDate, entry.slot.writeTime));
    const int closed = file->close();
    if (error == 0) error = closed;
    result.bytesWritten = written;
    if (error != 0) {
        sink_.message(platform::format("Exception :  %s   ", std::strerror(error)));
        return result;
    }
    result.status = complete ? CopyStatus::Ok : CopyStatus::Short;
    return result;
}

std::optional<std::vector<uint8_t>> FatVolume::readData(int64_t index, size_t maxBytes) const {
    if (!volume_.attached() || !validEntry(index) || entries_[index].isFolder()) return std::nullopt;
    const FatEntry& entry = entries_[index];
    if (entry.slot.size > maxBytes) return std::nullopt;
    bool complete = false;
    const std::vector<Extent> extents = fileExtents(entry, complete);
    if (!complete) return std::nullopt;
    std::vector<uint8_t> data(entry.slot.size);
    std::vector<uint8_t> buffer;
    size_t filled = 0;
    for (const Extent& extent : extents) {
        buffer.resize((extent.bytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize);
        if (extent.offset > INT64_MAX ||
            !volume_.readAt(static_cast<int64_t>(extent.offset), buffer.data(), static_cast<uint32_t>(buffer.size())))
            return std::nullopt;
        std::memcpy(data.data() + filled, buffer.data(), static_cast<size_t>(extent.bytes));
        filled += static_cast<size_t>(extent.bytes);
    }
    return data;
}

}  // namespace vdrec::fs::fat
