// Record parsing and the folder tree: names and parents from the file-name attributes, child
// chains kept with a tail per folder, orphans gathered in one synthetic folder.

#include <algorithm>

#include "fs/ntfs/ntfs_volume.h"
#include "platform/text_format.h"

namespace vdrec::fs::ntfs {

namespace {

constexpr uint64_t kParseReadBytes = 4u * 1024 * 1024;
// Status and progress are sent once per this many records: enough to show movement, without
// making the page repaint a million times.
constexpr uint64_t kParseReportEvery = 256;
// Deep placement nests folders once this many sit side by side in the orphan folder.
constexpr uint64_t kDeepFolderLimit = 100000;

}  // namespace

bool NtfsVolume::parseRecord(uint64_t recordOffset, int64_t index) {
    if (reader_ == nullptr || index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return false;
    if (recordOffset == kNoRecordOffset || recordOffset > INT64_MAX) return false;
    std::array<std::byte, kMftRecordSize> bytes{};
    if (!reader_->seek(static_cast<int64_t>(recordOffset))) return false;
    reader_->read(bytes.data(), bytes.size());
    parseRecordBytes(platform::Bytes(bytes.data(), bytes.size()), index);
    return true;
}

void NtfsVolume::parseRecordBytes(platform::Bytes bytes, int64_t index) {
    MftRecord& record = *record_;
    decodeMftRecord(bytes, record);
    const RecordSummary summary = summarizeRecord(record);
    const uint64_t base = record.header.baseRecordReference & 0xFFFFFFFFFFFFull;
    if (base == 0) {
        entries_[index].recordFlags = record.header.flags;
        cacheListFacts(record, entries_[index]);
    }
    if (!summary.hasFileName) return;
    if (base != 0) {
        // An extension record is part of its base file: a file name moved out here names the
        // base entry, when entry indices are record numbers; it is never a file of its own.
        if (!recordNumbersAreIndices_ || base >= entries_.size() || entries_[base].hasName) return;
        index = static_cast<int64_t>(base);
    }
    NtfsEntry& entry = entries_[index];
    if (summary.directory) entry.kind = 'D';
    const auto units = summary.name.size() / 2;
    assignName(entry, platform::utf16leToUtf8(reinterpret_cast<const uint8_t*>(summary.name.data()), units));
    if (base == 0) entry.recordFlags = record.header.flags;
    entry.nameAllocatedSize = summary.nameAllocatedSize;
    entry.parentIndex = summary.parentIndex;
    if (!linking_) return;

    const int64_t parent = summary.parentIndex;
    const int64_t count = static_cast<int64_t>(entries_.size());
    if (parent == index) return;  // the root names itself as its parent
    if (parent >= 0 && parent < index) {
        // Parsed already: only a folder may hold children (a reused slot may now be a file).
        if (entries_[parent].isFolder()) appendChild(parent, index);
        else entry.orphan = 1;
    } else if (parent >= 0 && parent < count) {
        // Not parsed yet: taken on trust; the tree steps release it if it never becomes a folder.
        appendChild(parent, index);
    } else {
        entry.orphan = 1;
    }
}

void NtfsVolume::cacheListFacts(const MftRecord& record, NtfsEntry& entry) {
    entry.timesCached = true;
    for (const AttributeHeader& attribute : record) {
        if (const auto info = decodeStandardInformation(record, attribute)) {
            entry.creationTime = info->creationTime;
            entry.accessTime = info->accessTime;
            entry.modificationTime = info->modificationTime;
            entry.cachedHasTimes = true;
        }
        if (const auto fileName = decodeFileName(record, attribute)) {
            entry.fileAttributes = fileName->fileAttributes;
            entry.cachedHasAttributes = true;
        }
    }
    // A data attribute spread over extension records is measured when asked for.
    for (const AttributeHeader& attribute : record)
        if (attribute.type == kAttrAttributeList) return;
    const DataStream stream = dataStreamOf(record, false);
    entry.dataSize = stream.present ? stream.outputLength(geometry().clusterBytes) : 0;
    entry.sizeCached = true;
}

void NtfsVolume::linkToParent(int64_t index) {
    if (index <= 0 || static_cast<uint64_t>(index) >= entries_.size()) return;
    const int64_t parent = entries_[index].parentIndex;
    if (parent < 0 || static_cast<uint64_t>(parent) >= entries_.size() || parent == index) return;
    appendChild(parent, index);
}

void NtfsVolume::appendChild(int64_t folder, int64_t child) {
    // Index 0 means "none" in the links, so entry 0 is never a child.
    if (child <= 0) return;
    NtfsEntry& entry = entries_[child];
    if (entry.linked) return;
    NtfsEntry& parent = entries_[folder];
    if (parent.firstChild == 0) parent.firstChild = child;
    else entries_[parent.lastChild].nextSibling = child;
    parent.lastChild = child;
    entry.nextSibling = 0;
    entry.linked = true;
}

void NtfsVolume::pushChildFront(int64_t folder, int64_t child) {
    if (child <= 0) return;
    NtfsEntry& parent = entries_[folder];
    NtfsEntry& entry = entries_[child];
    entry.nextSibling = parent.firstChild;
    entry.parentIndex = folder;
    entry.linked = true;
    if (parent.firstChild == 0) parent.lastChild = child;
    parent.firstChild = child;
}

void NtfsVolume::parseAllRecords() {
    if (mftLocated && !stopRequested) {
        const uint64_t count = entries_.size();
        sink_.progressRange(0, static_cast<int64_t>(count));
        std::vector<std::byte> buffer;
        recordNumbersAreIndices_ = true;
        uint64_t i = 0;
        while (i < count && !stopRequested) {
            if (entries_[i].recordOffset == kNoRecordOffset) {
                ++i;
                continue;
            }
            // A batch of slots that lie back to back on the volume: one read.
            uint64_t end = i + 1;
            const uint64_t first = entries_[i].recordOffset;
            while (end < count && (end - i) * kMftRecordSize < kParseReadBytes &&
                   entries_[end].recordOffset == first + (end - i) * kMftRecordSize)
                ++end;
            buffer.resize((end - i) * kMftRecordSize);
            if (first <= INT64_MAX)
                reader_->readAt(static_cast<int64_t>(first), buffer.data(), static_cast<uint32_t>(buffer.size()));
            for (uint64_t k = i; k < end && !stopRequested; ++k) {
                if (k % kParseReportEvery == 0 || k + 1 == count) {
                    status(platform::format("parsing MFT entry %lld...", static_cast<long long>(k)));
                    sink_.progressPosition(static_cast<int64_t>(k));
                }
                parseRecordBytes(platform::Bytes(buffer.data() + (k - i) * kMftRecordSize, kMftRecordSize),
                                 static_cast<int64_t>(k));
            }
            i = end;
        }
        recordNumbersAreIndices_ = false;
    }
    buildTree();
}

void NtfsVolume::buildTree() {
    if (scanMode != kDeep) releaseChildrenOfNonFolders();

    orphanIndex_ = appendEntry({'F', 'I', 'L', 'E'}, kNoRecordOffset);
    NtfsEntry& orphan = entries_[orphanIndex_];
    assignName(orphan, "ORPHAN_ENTRY");
    orphan.kind = 'D';
    orphan.recordFlags = 1;  // in use: never drawn as deleted

    const int64_t count = static_cast<int64_t>(entries_.size());
    rootIndex_ = -1;
    for (int64_t i = 0; i < count; ++i)
        if (name(i) == "." && entries_[i].hasName) {
            rootIndex_ = i;
            break;
        }
    if (rootIndex_ > 0) {
        entries_[orphanIndex_].parentIndex = rootIndex_;
        appendChild(rootIndex_, orphanIndex_);
    }

    sink_.progressRange(0, count);
    if (scanMode == kDeep) placeOrphansDeep();
    else placeOrphansStandard();
    sink_.progressPosition(count);
    treeBuilt_ = true;
}

// A parent taken on trust that never became a usable folder (a reused or unreadable slot) would
// hide its children where no view reaches them: they go to the orphan folder instead.
void NtfsVolume::releaseChildrenOfNonFolders() {
    const uint64_t count = entries_.size();
    for (uint64_t p = 0; p < count; ++p) {
        NtfsEntry& parent = entries_[p];
        if (parent.firstChild <= 0 || (parent.isFolder() && parent.isFile())) continue;
        int64_t child = parent.firstChild;
        // Chains are built here and end; the step bound guards them anyway.
        for (uint64_t steps = 0; child > 0 && static_cast<uint64_t>(child) < count && steps < count; ++steps) {
            NtfsEntry& entry = entries_[child];
            const int64_t next = entry.nextSibling;
            entry.orphan = 1;
            entry.linked = false;
            entry.nextSibling = 0;
            child = next;
        }
        parent.firstChild = 0;
        parent.lastChild = 0;
    }
}

// Orphans go to the head of the orphan folder's chain, so they are listed last found first.
void NtfsVolume::placeOrphansStandard() {
    const int64_t count = static_cast<int64_t>(entries_.size());
    for (int64_t i = 1; i < count; ++i) {
        if (i == orphanIndex_ || entries_[i].orphan == 0 || entries_[i].linked) continue;
        pushChildFront(orphanIndex_, i);
    }
}

// Deep-scan records carry parent numbers that are not entry indices: each file is placed in the
// folder record found before it, and the folders side by side in the orphan folder.
void NtfsVolume::placeOrphansDeep() {
    const int64_t count = static_cast<int64_t>(entries_.size());
    int64_t current = orphanIndex_;
    bool firstFolderPlaced = false;
    uint64_t foldersAfterFirst = 0;
    for (int64_t i = 1; i < count; ++i) {
        if (i == orphanIndex_ || i == rootIndex_) continue;
        NtfsEntry& entry = entries_[i];
        entry.firstChild = entry.lastChild = entry.nextSibling = entry.parentIndex = 0;
        entry.linked = false;
        if (!entry.isFolder()) {
            pushChildFront(current, i);
        } else if (!firstFolderPlaced || foldersAfterFirst < kDeepFolderLimit) {
            pushChildFront(orphanIndex_, i);
            if (firstFolderPlaced) ++foldersAfterFirst;
            firstFolderPlaced = true;
            current = i;
        } else {
            pushChildFront(current, i);
        }
    }
}

std::vector<int64_t> NtfsVolume::rootLevel() const {
    std::vector<int64_t> level;
    if (!treeBuilt_) return level;
    // Without a root record the orphan folder is still shown, so a deep scan of a volume whose
    // root is gone lists what it found.
    if (scanMode == kDeep || rootIndex_ <= 0) {
        level.push_back(orphanIndex_);
        return level;
    }
    const uint64_t count = entries_.size();
    bool orphanMet = false;
    int64_t child = entries_[rootIndex_].firstChild;
    for (uint64_t steps = 0; child > 0 && static_cast<uint64_t>(child) < count && steps < count; ++steps) {
        level.push_back(child);
        orphanMet = orphanMet || child == orphanIndex_;
        child = entries_[child].nextSibling;
    }
    if (!orphanMet) level.push_back(orphanIndex_);
    return level;
}

}  // namespace vdrec::fs::ntfs
