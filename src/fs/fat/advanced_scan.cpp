// The advanced mode for a volume whose boot sector is lost: FAT copies found by their first
// entries, the layout derived from the chosen copy, every slot of the data area that reads as a
// directory entry collected, and the tree rebuilt: first from the root, then from the entries
// no walk reached, under "ORPHAN ENTRY".

#include <algorithm>
#include <unordered_map>

#include "fs/fat/fat_volume.h"
#include "platform/text_format.h"

namespace vdrec::fs::fat {

namespace {

constexpr uint64_t kAnchorChunkBytes = 10u * 1024 * 1024;
constexpr uint64_t kScanChunkBytes = 4u * 1024 * 1024;
// How far past the FAT copies the layout search looks for a folder's "." slot.
constexpr uint64_t kDotSearchBytes = 64u * 1024 * 1024;
// A FAT16 root holds at most 65535 slots.
constexpr uint64_t kMaxRootDirBytes = 65535 * 32;
constexpr uint64_t kDefaultRootDirBytes = 512 * 32;

bool isMediaByte(uint8_t value) { return value == 0xF0 || value >= 0xF8; }

uint32_t le32(const std::byte* at) {
    return uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) | (uint32_t(at[3]) << 24);
}

// A FAT's first sector: entry 0 carries the media byte, entry 1 is an end mark.
bool startsFat(FatType type, const std::byte* sector) {
    const uint8_t media = static_cast<uint8_t>(sector[0]);
    if (!isMediaByte(media)) return false;
    if (type == FatType::Fat16)
        return sector[1] == std::byte{0xFF} && sector[2] == std::byte{0xFF} && sector[3] == std::byte{0xFF};
    // The top four bits of FAT32 entries are reserved: mkfs.fat writes 0x0FFFFFFF, Windows 0xFFFFFFFF.
    return (le32(sector) & 0x0FFFFFFF) == (0x0FFFFF00u | media) && (le32(sector + 4) & 0x0FFFFFFF) == 0x0FFFFFFF;
}

bool validDate(uint16_t date) {
    const unsigned month = (date >> 5) & 0x0F;
    return (date & 0x1F) != 0 && month >= 1 && month <= 12;
}

bool validTime(uint16_t time) { return (time >> 11) < 24 && ((time >> 5) & 0x3F) < 60 && (time & 0x1F) < 30; }

// The 11 bytes of a short name as Windows and mkfs.fat store them: no control bytes, none of
// the characters short names exclude, no lower case (that lives in the case flags).
bool validShortName(const ShortEntry& entry) {
    static constexpr std::string_view kExcluded = "\"*+,./:;<=>?[\\]|";
    if (entry.name[0] == ' ') return false;
    for (size_t k = 0; k < entry.name.size(); ++k) {
        const uint8_t byte = entry.name[k];
        if (k == 0 && (byte == kDeletedMark || byte == 0x05)) continue;
        if (byte < 0x20 || (byte >= 'a' && byte <= 'z') || kExcluded.find(static_cast<char>(byte)) != std::string_view::npos)
            return false;
    }
    return true;
}

}  // namespace

std::optional<int> FatVolume::bootSectorsPerCluster() const {
    if (!boot_ || boot_->sectorsPerCluster == 0 || boot_->sectorsPerCluster % 2 != 0) return std::nullopt;
    return static_cast<int>(boot_->sectorsPerCluster);
}

size_t FatVolume::findFatAnchors(int wantedCount) {
    anchors_.clear();
    if (!volume_.attached()) return 0;
    const size_t wanted = wantedCount < 1 ? 3 : static_cast<size_t>(wantedCount);
    // Without a size the volume runs to the end of the disk.
    const uint64_t limit = volumeBytes_ != 0 ? volumeBytes_ : UINT64_MAX;
    const uint64_t shownSize = volumeBytes_;
    std::vector<std::byte> chunk(kAnchorChunkBytes);
    uint32_t previousLastEntry = 0;
    sink_.progressRange(0, 1000);
    for (uint64_t offset = 0; offset < limit && anchors_.size() < wanted; offset += kAnchorChunkBytes) {
        if (stopRequested.exchange(false)) break;
        if (type_ == FatType::Fat32)
            status(platform::format("Parsing Disk Currently at position %f of the disk of size %f", static_cast<double>(offset),
                                    static_cast<double>(shownSize)));
        const uint64_t bytes = std::min<uint64_t>(kAnchorChunkBytes, limit - offset);
        if (offset > INT64_MAX) break;
        const bool inside = volume_.readAt(static_cast<int64_t>(offset), chunk.data(), static_cast<uint32_t>(bytes));
        for (uint64_t sector = 0; sector + 512 <= bytes && anchors_.size() < wanted; sector += 512) {
            const uint32_t lastBefore = previousLastEntry;
            previousLastEntry = type_ == FatType::Fat16 ? le32(chunk.data() + sector + 508) >> 16
                                                        : le32(chunk.data() + sector + 508) & 0x0FFFFFFF;
            if (!startsFat(type_, chunk.data() + sector)) continue;
            // With the media byte 0xFF, entry 0 reads like an end mark: a sector of end marks
            // inside a FAT looks the same. A FAT starts after reserved sectors or after the free
            // tail of the copy before it, never right after an entry in use.
            if (static_cast<uint8_t>(chunk[sector]) == 0xFF && lastBefore != 0) continue;
            const size_t position = anchors_.size();
            anchors_.push_back({platform::format(type_ == FatType::Fat16 ? "FAT_ENTRY:%zu" : "FAT32_ENTRY:%zu", position),
                                offset + sector});
            status(platform::format("found fat entry  %d ", static_cast<int>(anchors_.size())));
        }
        if (shownSize != 0) sink_.progressPosition(static_cast<int64_t>(offset * 1000 / shownSize));
        if (!inside) {
            if (volumeBytes_ == 0) volumeBytes_ = offset + bytes;
            break;
        }
    }
    sink_.progressPosition(1000);
    return anchors_.size();
}

bool FatVolume::prepareAdvanced(size_t anchorIndex, int sectorsPerCluster) {
    advanced_ = true;
    if (!volume_.attached() || anchorIndex >= anchors_.size()) return false;
    if (sectorsPerCluster <= 0) sectorsPerCluster = bootSectorsPerCluster().value_or(8);
    const uint64_t clusterBytes = 512 * static_cast<uint64_t>(std::min(sectorsPerCluster, 512));
    const uint64_t entryBytes = type_ == FatType::Fat16 ? 2 : 4;
    const uint64_t anchor = anchors_[anchorIndex].offset;

    // The copies lie back to back: their spacing is the FAT's length, and the area after the
    // last of them is the root directory (FAT16) or the data area (FAT32).
    uint64_t fatBytes = 0;
    if (anchorIndex + 1 < anchors_.size()) fatBytes = anchors_[anchorIndex + 1].offset - anchor;
    else if (anchorIndex > 0) fatBytes = anchor - anchors_[anchorIndex - 1].offset;
    const uint64_t volumeClusters = volumeBytes_ / clusterBytes + 2;
    const uint64_t estimated = (volumeClusters * entryBytes + 511) / 512 * 512;
    const bool spaced = fatBytes != 0 && fatBytes <= estimated + 512 * 64;
    if (!spaced) fatBytes = estimated;
    uint64_t lastCopy = anchor;
    if (spaced)
        for (size_t k = anchorIndex; k + 1 < anchors_.size() && anchors_[k + 1].offset - anchors_[k].offset == fatBytes; ++k)
            lastCopy = anchors_[k + 1].offset;
    const uint64_t afterFats = lastCopy + fatBytes;

    geometry_ = FatGeometry{};
    geometry_.clusterBytes = clusterBytes;
    geometry_.rootCluster = 2;
    // Any folder's "." slot names its own cluster: where it lies fixes where cluster 2 lies.
    std::optional<uint64_t> dataOffset;
    std::vector<std::byte> chunk(1024 * 1024);
    const uint64_t searchEnd = std::min<uint64_t>(afterFats + kDotSearchBytes, volumeBytes_ ? volumeBytes_ : UINT64_MAX);
    for (uint64_t offset = afterFats; offset < searchEnd && !dataOffset; offset += chunk.size()) {
        if (offset > INT64_MAX) break;
        const bool inside = volume_.readAt(static_cast<int64_t>(offset), chunk.data(), static_cast<uint32_t>(chunk.size()));
        for (uint64_t sector = 0; sector + 64 <= chunk.size() && !dataOffset; sector += 512) {
            const auto dot = decodeShortEntry(platform::Bytes(chunk.data() + sector, 32));
            const auto dotDot = decodeShortEntry(platform::Bytes(chunk.data() + sector + 32, 32));
            static constexpr std::array<uint8_t, 11> kDot = {'.', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
            static constexpr std::array<uint8_t, 11> kDotDot = {'.', '.', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
            if (dot->name != kDot || dotDot->name != kDotDot || !isFolderAttribute(dot->attributes)) continue;
            const uint64_t cluster = dot->firstCluster();
            const uint64_t position = offset + sector;
            if (cluster < 2 || cluster - 2 > position / clusterBytes) continue;
            const uint64_t start = position - (cluster - 2) * clusterBytes;
            if (start < afterFats) continue;
            if (type_ == FatType::Fat16 && (start - afterFats) % 32 != 0) continue;
            if (type_ == FatType::Fat16 && start - afterFats > kMaxRootDirBytes) continue;
            dataOffset = start;
        }
        if (!inside) break;
    }
    if (type_ == FatType::Fat16) {
        geometry_.rootDirOffset = afterFats;
        geometry_.rootDirBytes = dataOffset ? *dataOffset - afterFats : kDefaultRootDirBytes;
        geometry_.dataOffset = afterFats + geometry_.rootDirBytes;
    } else {
        geometry_.dataOffset = dataOffset.value_or(afterFats);
    }
    fat_.attach(volume_, type_, anchor, fatBytes, lastClusterOf(geometry_.dataOffset, clusterBytes));
    rootDirectory_.clear();
    if (type_ == FatType::Fat16) {
        rootDirectory_.resize(geometry_.rootDirBytes);
        volume_.readAt(static_cast<int64_t>(geometry_.rootDirOffset), rootDirectory_.data(),
                        static_cast<uint32_t>(rootDirectory_.size()));
    }
    return true;
}

bool FatVolume::slotIsCandidate(platform::Bytes slot, uint64_t lastCluster) const {
    const auto entry = decodeShortEntry(slot);
    if (!entry || entry->isFree() || entry->isDot()) return false;
    const uint8_t attributes = entry->attributes;
    if (isLongNameSlot(attributes)) {
        const uint8_t sequence = entry->name[0];
        const platform::ByteReader in(slot);
        const bool ordinal = sequence == kDeletedMark || ((sequence & ~0x5F) == 0 && (sequence & 0x1F) >= 1 &&
                                                         (sequence & 0x1F) <= LongNameRun::kMaxSlots);
        return attributes == attribute::kLongName && ordinal && in.u8Or0(12) == 0 && in.le16Or0(26) == 0;
    }
    if ((attributes & 0xC0) != 0 || isLabel(attributes) || !validShortName(*entry)) return false;
    // Creation and access fields may be zero (not every writer fills them); the write time may not.
    if (!validDate(entry->writeDate) || !validTime(entry->writeTime)) return false;
    if (entry->creationDate != 0 && !validDate(entry->creationDate)) return false;
    if (entry->accessDate != 0 && !validDate(entry->accessDate)) return false;
    if (!validTime(entry->creationTime) || (entry->caseFlags & ~0x18) != 0) return false;
    const uint64_t cluster = entry->firstCluster();
    if (cluster > lastCluster || cluster == 1) return false;
    if (isFolderAttribute(attributes)) return entry->size == 0 && cluster >= 2;
    return (cluster == 0) == (entry->size == 0);
}

void FatVolume::scanForCandidates() {
    candidates_.clear();
    candidateSlots_.clear();
    if (!volume_.attached() || geometry_.clusterBytes == 0) return;
    const uint64_t start = geometry_.dataOffset;
    const uint64_t end = *geometry_.clusterOffset(fat_.lastCluster() + 1);
    const uint64_t total = end > start ? end - start : 0;
    const uint64_t chunkBytes = std::max(geometry_.clusterBytes, kScanChunkBytes / geometry_.clusterBytes * geometry_.clusterBytes);
    std::vector<std::byte> chunk(chunkBytes);
    sink_.progressRange(0, type_ == FatType::Fat16 ? 100000 : 1000);
    for (uint64_t offset = start; offset < end; offset += chunkBytes) {
        if (stopRequested.exchange(false)) break;
        const uint64_t bytes = std::min(chunkBytes, end - offset);
        if (offset > INT64_MAX) break;
        const bool inside = volume_.readAt(static_cast<int64_t>(offset), chunk.data(), static_cast<uint32_t>(bytes));
        for (uint64_t slot = 0; slot + kSlotBytes <= bytes; slot += kSlotBytes)
            if (slotIsCandidate(platform::Bytes(chunk.data() + slot, kSlotBytes), fat_.lastCluster())) {
                candidates_.push_back(offset + slot);
                candidateSlots_.emplace_back();
                std::copy_n(chunk.data() + slot, kSlotBytes, candidateSlots_.back().data());
            }
        const uint64_t done = offset + bytes - start;
        if (type_ == FatType::Fat16) {
            status(platform::format("currently at sector %lld of %lld", static_cast<long long>((offset + bytes) / 512),
                                    static_cast<long long>(end / 512)));
            sink_.progressPosition(static_cast<int64_t>(done * 100000 / std::max<uint64_t>(total, 1)));
        } else {
            status(platform::format("found file or directory =  %d ", static_cast<int>(candidates_.size())));
            sink_.progressPosition(static_cast<int64_t>(done * 1000 / std::max<uint64_t>(total, 1)));
        }
        if (!inside) break;
    }
}

void FatVolume::buildFromCandidates() {
    clearEntries();
    ShortEntry folder;
    folder.attributes = attribute::kDirectory;
    appendEntry(folder, kRootPlaceholderName, false, 0, kNoSlot);
    appendEntry(folder, kOrphanFolderName, false, 0, kNoSlot);
    if (!volume_.attached() || geometry_.clusterBytes == 0) return;

    // The tree the root still reaches, as the standard walk finds it.
    walkFromRoot();

    // Long names of the candidates: a run names only the short entry right after it.
    const size_t count = candidates_.size();
    std::vector<std::optional<std::string>> longNames(count);
    std::vector<std::optional<ShortEntry>> shortEntries(count);
    {
        LongNameRun run;
        uint64_t runEnd = kNoSlot;
        for (size_t k = 0; k < count; ++k) {
            const uint64_t position = candidates_[k];
            const platform::Bytes slot(candidateSlots_[k].data(), kSlotBytes);
            const auto entry = decodeShortEntry(slot);
            if (position != runEnd) run.reset();
            if (isLongNameSlot(entry->attributes)) {
                run.add(*decodeLongNameSlot(slot), entry->name[0] == kDeletedMark);
                runEnd = position + kSlotBytes;
                continue;
            }
            longNames[k] = run.nameFor(*entry);
            shortEntries[k] = entry;
            run.reset();
            runEnd = kNoSlot;
        }
    }

    auto consumed = [&](uint64_t position) {
        if (type_ == FatType::Fat16 && position < geometry_.dataOffset) return true;
        if (position < geometry_.dataOffset) return false;
        return visitedClusters_.count((position - geometry_.dataOffset) / geometry_.clusterBytes + 2) != 0;
    };
    // Folders first, so that their walks claim the entries they hold; a folder met again inside
    // a later folder's walk moves there (adoptable). Then the files no walk reached.
    for (size_t k = 0; k < count; ++k) {
        if (!shortEntries[k] || !isFolderAttribute(shortEntries[k]->attributes) || consumed(candidates_[k])) continue;
        const ShortEntry& entry = *shortEntries[k];
        if (adoptableFolders_.count(entry.firstCluster()) || visitedClusters_.count(entry.firstCluster())) continue;
        const std::string name = longNames[k] ? *longNames[k] : shortNameText(entry);
        const int64_t index = appendEntry(entry, name, entry.isDeleted(), 1, candidates_[k]);
        adoptableFolders_.emplace(entry.firstCluster(), index);
        walkFolder(index, entry.firstCluster());
    }
    for (size_t k = 0; k < count; ++k) {
        if (!shortEntries[k] || isFolderAttribute(shortEntries[k]->attributes) || consumed(candidates_[k])) continue;
        const ShortEntry& entry = *shortEntries[k];
        appendEntry(entry, longNames[k] ? *longNames[k] : shortNameText(entry), entry.isDeleted(), 1, candidates_[k]);
    }
    adoptableFolders_.clear();
    candidates_ = {};
    candidateSlots_ = {};
}

}  // namespace vdrec::fs::fat
