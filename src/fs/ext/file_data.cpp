// A file's data from its block map or extent tree, written with its holes; the list texts.

#include <algorithm>
#include <array>
#include <cstring>

#include "fs/ext/ext_volume.h"
#include "fs/ext/inline_data.h"
#include "platform/file_times.h"
#include "platform/output_file.h"
#include "platform/text_format.h"

namespace vdrec::fs::ext {

namespace {

// Data moves in reads of at most this size.
constexpr uint64_t kCopyChunkBytes = 4u * 1024 * 1024;
// Inodes up to this size are read without an allocation.
constexpr size_t kMaxInodeBytes = 1024;

void appendPermissionText(std::string& text, uint16_t mode) {
    static constexpr std::pair<uint16_t, const char*> kBits[] = {
        {0x001, "-OE"}, {0x002, "-OW"}, {0x004, "-OR"}, {0x008, "-GE"}, {0x010, "-GW"},
        {0x020, "-GR"}, {0x040, "-UE"}, {0x080, "-UW"}, {0x100, "-UR"},
    };
    for (const auto& [bit, label] : kBits)
        if (mode & bit) text.append(label, 3);
}

}  // namespace

std::optional<Inode> ExtVolume::readInode(uint32_t inode) const {
    if (!superblock_ || inode == 0) return std::nullopt;
    const Superblock& sb = *superblock_;
    const uint64_t group = (inode - 1) / sb.inodesPerGroup;
    if (group >= groups_.size() || groups_[group].inodeTable >= volumeBlocks_) return std::nullopt;
    const uint64_t offset = groups_[group].inodeTable * sb.blockBytes + (inode - 1) % sb.inodesPerGroup * sb.inodeBytes;
    if (!volume_.attached() || offset > INT64_MAX) return std::nullopt;
    // Saving asks for inodes mostly in ascending runs (a folder's files were made together),
    // so most come from a piece of table already read.
    // Whole sectors, as every read of the volume.
    const uint64_t sectorBytes = (sb.inodeBytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize;
    if (sectorBytes > kMaxInodeBytes) {
        std::vector<std::byte> bytes;
        if (!readBytes(offset, bytes, sb.inodeBytes)) return std::nullopt;
        return decodeInode(platform::Bytes(bytes.data(), bytes.size()));
    }
    std::array<std::byte, kMaxInodeBytes> bytes;
    if (!volume_.readNearby(static_cast<int64_t>(offset), bytes.data(), static_cast<uint32_t>(sectorBytes)))
        return std::nullopt;
    return decodeInode(platform::Bytes(bytes.data(), static_cast<size_t>(sb.inodeBytes)));
}

BlockMap ExtVolume::unclaimedPart(const BlockMap& map) const {
    BlockMap out;
    out.complete = map.complete;
    const Superblock& sb = *superblock_;
    std::vector<std::byte> bitmap;
    uint64_t bitmapGroup = UINT64_MAX;
    for (const BlockRun& run : map.runs) {
        for (uint64_t k = 0; k < run.count; ++k) {
            const uint64_t block = run.physical + k;
            if (run.unwritten || block < sb.firstDataBlock) continue;
            const uint64_t group = (block - sb.firstDataBlock) / sb.blocksPerGroup;
            if (group != bitmapGroup) {
                bitmapGroup = group;
                if (group >= groups_.size() || !readBlock(groups_[group].blockBitmap, bitmap)) bitmap.clear();
            }
            const uint64_t bit = (block - sb.firstDataBlock) % sb.blocksPerGroup;
            // A block marked in use belongs to another file now: this one's data there is lost.
            if (bitmap.empty() || (std::to_integer<uint8_t>(bitmap[bit / 8]) >> (bit % 8) & 1) != 0) {
                out.complete = false;
                continue;
            }
            const BlockRun piece{run.logical + k, block, 1, false};
            if (!out.runs.empty() && out.runs.back().logical + out.runs.back().count == piece.logical &&
                out.runs.back().physical + out.runs.back().count == piece.physical)
                ++out.runs.back().count;
            else
                out.runs.push_back(piece);
        }
    }
    return out;
}

ExtListTexts ExtVolume::listTexts(int64_t index) const {
    ListTexts texts;
    fillListTexts(index, texts, true);
    return {std::move(texts.created), std::move(texts.accessed), std::move(texts.modified), std::move(texts.size),
            std::move(texts.attributes)};
}

void ExtVolume::fillListTexts(int64_t index, ListTexts& texts, bool withSize) const {
    texts.created.clear();
    texts.accessed.clear();
    texts.modified.clear();
    texts.attributes.clear();
    if (withSize) texts.size.clear();
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return;
    const ExtEntry& e = entries_[static_cast<size_t>(index)];
    platform::appendListTimeText(texts.created, e.changed);
    platform::appendListTimeText(texts.accessed, e.accessed);
    platform::appendListTimeText(texts.modified, e.modified);
    if (withSize) texts.size = platform::formatSize(e.size);
    appendPermissionText(texts.attributes, e.mode);
}

uint64_t ExtVolume::dataSize(int64_t index) const {
    if (!validEntry(index) || !entries_[static_cast<size_t>(index)].isFile()) return 0;
    return entries_[static_cast<size_t>(index)].size;
}

CopyResult ExtVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    CopyResult result;
    if (!volume_.attached() || !superblock_ || !validEntry(index)) return result;
    const ExtEntry& e = entries_[static_cast<size_t>(index)];
    if (!e.isFile()) return result;
    const auto inode = readInode(e.inode);
    // A removed name whose inode was reused, or an inode whose type changed since the scan,
    // holds nothing of this file.
    if (!inode || (inode->mode & kTypeMask) != (e.mode & kTypeMask)) {
        if (e.size != 0 || e.removed) return {CopyStatus::NoData, 0};
    }
    const uint64_t size = e.size;
    BlockMap map;
    std::string heldBytes;  // what the inode itself holds: a short link's target or inline data
    if (inode && inode->isFastSymlink()) {
        // The target text itself, never block numbers.
        heldBytes.assign(reinterpret_cast<const char*>(inode->blockField.data()), static_cast<size_t>(size));
    } else if (inode && inode->hasInlineData()) {
        // Held in the inode, like a short link's text; what it lacks of the size is lost.
        heldBytes = inlineFileBytes(*inode, size);
        map.complete = heldBytes.size() == size;
    } else if (inode) {
        const BlockReader read = [this](uint64_t block, std::vector<std::byte>& into) { return readBlock(block, into); };
        map = mapBlocks(*inode, limitsFor(size), read);
        if (e.removed) map = unclaimedPart(map);
    }
    // A removed file whose map was cleared on deletion: saying so beats writing zeros as if
    // whole. The kernel clears the size with the map, so a listed size of 0 proves nothing.
    if (e.removed && map.runs.empty() && heldBytes.empty()) return {CopyStatus::NoData, 0};

    bool complete = map.complete && inode.has_value();
    if (size == 0) {
        if (platform::OutputFile::createEmpty(destinationPath, e.accessed, e.modified) != 0) return result;
        result.status = complete ? CopyStatus::Ok : CopyStatus::Short;
        return result;
    }
    int error = 0;
    auto file = platform::OutputFile::create(destinationPath, platform::OutputFile::Mode::CreateNew, error);
    if (!file) return result;
    const uint64_t blockBytes = superblock_->blockBytes;
    // Kept by each saving thread: a fresh buffer per file cost an allocation and its zeroing.
    thread_local std::vector<std::byte> buffer;
    uint64_t writtenEnd = 0;
    if (!heldBytes.empty()) error = file->writeAt(0, heldBytes.data(), heldBytes.size());
    for (const BlockRun& run : map.runs) {
        // Preallocated runs read as zeros: they stay holes of the output.
        if (run.unwritten || error != 0) continue;
        const uint64_t start = run.logical * blockBytes;
        if (start >= size) break;
        const uint64_t bytes = std::min(run.count * blockBytes, size - start);
        for (uint64_t done = 0; done < bytes && error == 0; done += kCopyChunkBytes) {
            const uint64_t piece = std::min(kCopyChunkBytes, bytes - done);
            if (readData(run.physical * blockBytes + done, buffer, piece)) {
                error = file->writeAt(start + done, buffer.data(), static_cast<size_t>(piece));
                writtenEnd = std::max(writtenEnd, start + done + piece);
                continue;
            }
            // Block by block then: an unreadable block stays zeros at its place and later data
            // keeps its offset.
            complete = false;
            for (uint64_t at = 0; at < piece && error == 0; at += blockBytes) {
                const uint64_t bytes = std::min(blockBytes, piece - at);
                if (readBytes(run.physical * blockBytes + done + at, buffer, bytes))
                    error = file->writeAt(start + done + at, buffer.data(), static_cast<size_t>(bytes));
            }
        }
    }
    // A file that ends in a hole, or whose last blocks could not be read, gets its length here.
    const uint64_t dataEnd = heldBytes.empty() ? writtenEnd : heldBytes.size();
    if (error == 0 && dataEnd < size) error = file->setLength(size);
    // Unix times are UTC seconds: applied as they stand, on the open file after its last
    // change, which spares a path lookup per file.
    if (error == 0) file->setTimes(e.accessed, e.modified);
    const int closed = file->close();
    if (error == 0) error = closed;
    result.bytesWritten = size;
    if (error != 0) {
        result.bytesWritten = 0;
        sink_.message(platform::format("Exception :  %s   ", std::strerror(error)));
        return result;
    }
    result.status = complete ? CopyStatus::Ok : CopyStatus::Short;
    return result;
}

std::optional<std::vector<uint8_t>> ExtVolume::readData(int64_t index, size_t maxBytes) const {
    if (!volume_.attached() || !superblock_ || !validEntry(index)) return std::nullopt;
    const ExtEntry& e = entries_[static_cast<size_t>(index)];
    if (!e.isFile() || e.size > maxBytes) return std::nullopt;
    const auto inode = readInode(e.inode);
    if (!inode || (inode->mode & kTypeMask) != (e.mode & kTypeMask)) return std::nullopt;
    std::vector<uint8_t> data(static_cast<size_t>(e.size), 0);
    if (inode->isFastSymlink()) {
        std::memcpy(data.data(), inode->blockField.data(), data.size());
        return data;
    }
    if (inode->hasInlineData()) {
        const std::string held = inlineFileBytes(*inode, e.size);
        if (held.size() != data.size()) return std::nullopt;
        std::memcpy(data.data(), held.data(), held.size());
        return data;
    }
    const BlockReader read = [this](uint64_t block, std::vector<std::byte>& into) { return readBlock(block, into); };
    BlockMap map = mapBlocks(*inode, limitsFor(e.size), read);
    if (e.removed) map = unclaimedPart(map);
    if (!map.complete || (e.removed && map.runs.empty())) return std::nullopt;
    const uint64_t blockBytes = superblock_->blockBytes;
    std::vector<std::byte> buffer;
    for (const BlockRun& run : map.runs) {
        const uint64_t start = run.logical * blockBytes;
        if (run.unwritten || start >= e.size) continue;
        const uint64_t bytes = std::min(run.count * blockBytes, e.size - start);
        if (!readBytes(run.physical * blockBytes, buffer, bytes)) return std::nullopt;
        std::memcpy(data.data() + start, buffer.data(), static_cast<size_t>(bytes));
    }
    return data;
}

}  // namespace vdrec::fs::ext
