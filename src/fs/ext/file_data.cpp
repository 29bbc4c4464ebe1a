// A file's map from its block map, extent tree or inode, for the copier; the list texts.

#include <algorithm>
#include <array>

#include "fs/ext/ext_volume.h"
#include "fs/ext/inline_data.h"
#include "fs/file_copier.h"
#include "platform/file_times.h"
#include "platform/text_format.h"

namespace vdrec::fs::ext {

namespace {

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

CopyStatus ExtVolume::mapFile(int64_t index, FileMap& map) const {
    if (!volume_.attached() || !superblock_ || !validEntry(index)) return CopyStatus::Failed;
    const ExtEntry& e = entries_[static_cast<size_t>(index)];
    if (!e.isFile()) return CopyStatus::Failed;
    const uint64_t size = e.size;
    const uint64_t blockBytes = superblock_->blockBytes;
    map.size = size;
    map.retryBytes = blockBytes;
    // Unix times are UTC seconds: applied as they stand.
    map.accessed = e.accessed;
    map.modified = e.modified;
    const auto inode = readInode(e.inode);
    // A removed name whose inode was reused, or an inode whose type changed since the scan,
    // holds nothing of this file.
    if (!inode || (inode->mode & kTypeMask) != (e.mode & kTypeMask)) {
        if (size != 0 || e.removed) return CopyStatus::NoData;
        map.complete = false;
        return CopyStatus::Ok;
    }
    if (inode->isSymlink()) map.kind = FileMap::Kind::SymbolicLink;
    if (inode->isFastSymlink(blockBytes)) {
        // The target text itself, never block numbers.
        map.addHeld(0, inode->blockField.data(), static_cast<size_t>(size));
        return CopyStatus::Ok;
    }
    if (inode->hasInlineData()) {
        // Held in the inode, like a short link's text; what it lacks of the size is lost.
        const std::string held = inlineFileBytes(*inode, size);
        map.addHeld(0, held.data(), held.size());
        map.addLost(held.size(), size - held.size());
        if (e.removed && held.empty() && size != 0) return CopyStatus::NoData;
        return CopyStatus::Ok;
    }
    const BlockReader read = [this](uint64_t block, std::vector<std::byte>& into) { return readBlock(block, into); };
    BlockMap blocks = mapBlocks(*inode, limitsFor(size), read);
    if (e.removed) blocks = unclaimedPart(blocks);
    // A removed file whose map was cleared on deletion: saying so beats writing zeros as if
    // whole. The kernel clears the size with the map, so a listed size of 0 proves nothing by
    // itself; but its truncate on removal stamps the change and modification times with one
    // moment, the one the deletion time records. An empty file removed otherwise keeps its
    // times apart from the deletion time, and is saved, empty, as it was.
    if (e.removed && blocks.runs.empty()) {
        const platform::UnixTime& changed = inode->changed;
        const int64_t deletion = inode->deletionTime;
        const int64_t changedLow = changed.seconds & 0xFFFFFFFF;  // the deletion time keeps 32 bits
        const bool truncatedOnRemoval = inode->modified.seconds == changed.seconds &&
                                        inode->modified.nanoseconds == changed.nanoseconds &&
                                        deletion >= changedLow - 1 && deletion <= changedLow + 1;
        if (size != 0 || truncatedOnRemoval) return CopyStatus::NoData;
    }
    map.complete = blocks.complete;
    for (const BlockRun& run : blocks.runs) {
        const uint64_t start = run.logical * blockBytes;
        if (start >= size) break;
        const uint64_t bytes = std::min(run.count * blockBytes, size - start);
        // Preallocated runs read as zeros: they stay holes of the output.
        if (run.unwritten) map.addHole(start, bytes);
        else map.addDevice(start, bytes, run.physical * blockBytes);
    }
    return CopyStatus::Ok;
}

CopyResult ExtVolume::saveFile(int64_t index, const std::string& destinationPath) const {
    FileMap map;
    const CopyStatus mapped = mapFile(index, map);
    if (mapped != CopyStatus::Ok) return {mapped, 0};
    return copyFile(volume_, map, destinationPath, sink_);
}

std::optional<std::vector<uint8_t>> ExtVolume::readData(int64_t index, size_t maxBytes) const {
    if (!validEntry(index) || entries_[static_cast<size_t>(index)].size > maxBytes) return std::nullopt;
    FileMap map;
    if (mapFile(index, map) != CopyStatus::Ok) return std::nullopt;
    return readFileData(volume_, map, maxBytes);
}

}  // namespace vdrec::fs::ext
