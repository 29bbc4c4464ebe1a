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

}  // namespace

bool NtfsVolume::parseRecord(uint64_t recordOffset, int64_t index) {
    if (!volume_.attached() || index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return false;
    if (recordOffset == kNoRecordOffset || recordOffset > INT64_MAX) return false;
    std::array<std::byte, kMftRecordSize> bytes{};
    // A record whose first byte lies outside the volume is not there; one cut short at the end is
    // parsed from what arrived (the rest reads as zeros).
    const image::ReadResult read = volume_.read(recordOffset, bytes.data(), bytes.size());
    if (read.bytes == 0 && !read.complete()) return false;
    parseRecordBytes(platform::Bytes(bytes.data(), bytes.size()), index);
    return true;
}

void NtfsVolume::parseRecordBytes(platform::Bytes bytes, int64_t index) {
    MftRecord& record = *record_;
    decodeMftRecord(bytes, record);
    // An extension record holds attributes of its base record, which reaches them through its
    // attribute list: it is never a file of its own. The MFT's own extension records point at
    // record 0, so the whole reference (sequence number included) is tested, not the number.
    if (record.header.baseRecordReference != 0) return;
    entries_[index].recordFlags = record.header.flags;
    cacheListFacts(record, entries_[index]);
    names_.clear();
    if (everyName_ && deferListedNames_) {
        // The deep scan finds extension records anywhere on the volume, maybe after their base.
        for (const AttributeHeader& attribute : record)
            if (attribute.type == kAttrAttributeList) {
                deferredNames_.push_back(index);
                return;
            }
    }
    collectNames(record, nullptr, names_);
    if (const auto own = ownRecordNumber(record, index))
        collectListedNames(record, *own, [&](uint64_t number) { return extensionOffset(record, *own, number); });
    assignNames(index);
}

std::optional<uint64_t> NtfsVolume::ownRecordNumber(const MftRecord& record, int64_t index) const {
    if (recordNumbersAreIndices_) return static_cast<uint64_t>(index);
    // Records written before NTFS 3.1 keep the update-sequence array where the number would be.
    if (record.header.updateSequenceOffset >= 0x30) return record.header.recordNumber;
    return std::nullopt;
}

void NtfsVolume::collectListedNames(const MftRecord& record, uint64_t ownNumber,
                                    const std::function<std::optional<uint64_t>(uint64_t)>& locate) {
    const AttributeHeader* list = nullptr;
    for (const AttributeHeader& attribute : record)
        if (attribute.type == kAttrAttributeList) {
            list = &attribute;
            break;
        }
    if (list == nullptr) return;
    const std::vector<uint8_t> listBytes = readAttributeListContent(record, *list);
    std::vector<AttributeListEntry> listed = decodeAttributeList(platform::asBytes(listBytes.data(), listBytes.size()));
    std::erase_if(listed, [&](const AttributeListEntry& e) { return e.type != kAttrFileName || e.recordNumber == ownNumber; });
    // Each extension record is read once, however many of its names the list holds.
    std::stable_sort(listed.begin(), listed.end(),
                     [](const AttributeListEntry& a, const AttributeListEntry& b) { return a.recordNumber < b.recordNumber; });
    std::vector<uint16_t> ids;
    for (size_t k = 0; k < listed.size();) {
        const uint64_t number = listed[k].recordNumber;
        ids.clear();
        for (; k < listed.size() && listed[k].recordNumber == number; ++k) ids.push_back(listed[k].attributeId);
        const auto offset = locate(number);
        if (!offset || !readRecord(*offset, *extension_) || !extension_->header.isFile()) continue;
        // Only an extension of this very record: a reused slot belongs to another file now.
        const uint64_t base = extension_->header.baseRecordReference;
        if ((base & 0xFFFFFFFFFFFFull) != ownNumber) continue;
        if (record.header.sequenceNumber != 0 && (base >> 48) != record.header.sequenceNumber) continue;
        collectNames(*extension_, &ids, names_);
    }
}

std::optional<uint64_t> NtfsVolume::extensionOffset(const MftRecord& base, uint64_t ownNumber, uint64_t number) {
    if (recordNumbersAreIndices_) return recordOffsetOf(number);
    // Before the MFT is known only its own record can be followed: its extension records lie in
    // the MFT's first extent, which that record maps.
    if (ownNumber != 0 || clusterBytes == 0) return std::nullopt;
    for (const AttributeHeader& attribute : base)
        if (attribute.type == kAttrData && attribute.nameLength == 0 && attribute.nonResident && attribute.firstVcn == 0) {
            const auto byte = platform::checkedMul(number, kMftRecordSize);
            if (!byte) return std::nullopt;
            return mapMftOffset(fs::ntfs::decodeDataRuns(base.mappingPairs(attribute), attribute.vcnCount()), *byte);
        }
    return std::nullopt;
}

void NtfsVolume::assignNames(int64_t index) {
    if (names_.empty()) return;
    const bool directory = std::any_of(names_.begin(), names_.end(), [](const FoundName& n) { return n.directory; });
    const bool haveLongName = std::any_of(names_.begin(), names_.end(), [](const FoundName& n) { return !n.dosOnly; });
    if (directory) entries_[index].kind = 'D';
    size_t taken = 0;
    for (size_t k = 0; k < names_.size(); ++k) {
        // The DOS 8.3 alias is another spelling of a long name; it stands alone only when no long
        // name survived, and then only the last one.
        if (haveLongName ? names_[k].dosOnly : k + 1 != names_.size()) continue;
        // A folder has one place in the tree; only files have hard links.
        if (taken > 0 && (directory || !everyName_)) break;
        int64_t target = index;
        // Entry 0 is never anyone's child, so the MFT's own name gets an entry of its own.
        if (taken > 0 || entries_[index].hasName || (index == 0 && linking_)) {
            const NtfsEntry record = entries_[index];  // a copy: appending may move the entries
            target = appendEntry(record.magic, record.recordOffset);
            NtfsEntry& extra = entries_[target];
            extra.recordIndex = index;
            extra.recordFlags = record.recordFlags;
            extra.kind = record.kind;
        }
        assignName(entries_[target], names_[k].name);
        entries_[target].parentIndex = names_[k].parent;
        ++taken;
        if (linking_) linkName(target, index);
    }
}

void NtfsVolume::linkName(int64_t nameIndex, int64_t recordIndex) {
    NtfsEntry& entry = entries_[nameIndex];
    const int64_t parent = entry.parentIndex;
    const int64_t count = static_cast<int64_t>(recordNumbersAreIndices_ ? recordSlots_ : entries_.size());
    if (parent == recordIndex) return;  // the root names itself as its parent
    if (parent >= 0 && parent < recordIndex) {
        // Parsed already: only a folder may hold children (a reused slot may now be a file).
        if (entries_[parent].isFolder()) appendChild(parent, nameIndex);
        else entry.orphan = 1;
    } else if (parent >= 0 && parent < count) {
        // Not parsed yet: taken on trust; the tree steps release it if it never becomes a folder.
        appendChild(parent, nameIndex);
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
    keepRuns(record, stream, entry);
}

// Saving then copies without reading the record again. Only the plain case is kept (one extent
// from VCN 0, neither compressed nor cut short, every byte initialized): a few bytes per file.
void NtfsVolume::keepRuns(const MftRecord& record, const DataStream& stream, NtfsEntry& entry) {
    entry.runsLength = 0;
    if (!record.header.isFile() || !stream.present || stream.resident || stream.compressed() || !stream.complete) return;
    if (stream.initializedSize != stream.realSize || entry.dataSize != stream.realSize) return;
    const AttributeHeader* data = nullptr;
    for (const AttributeHeader& attribute : record) {
        if (attribute.type != kAttrData || attribute.nameLength != 0) continue;
        if (data != nullptr) return;
        data = &attribute;
    }
    if (data == nullptr || !data->nonResident || data->firstVcn != 0) return;
    const platform::Bytes pairs = record.mappingPairs(*data);
    // Decoded again without the attribute's VCN bound, the pairs must give the same runs.
    const std::vector<DataRun> runs = fs::ntfs::decodeDataRuns(pairs, UINT64_MAX);
    if (runs.size() != stream.runs.size() || totalClusters(runs) != totalClusters(stream.runs)) return;
    if (pairs.empty() || pairs.size() > UINT16_MAX) return;
    entry.runsOffset = runPool_.size();
    entry.runsLength = static_cast<uint16_t>(pairs.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(pairs.data());
    runPool_.insert(runPool_.end(), bytes, bytes + pairs.size());
}

std::optional<DataStream> NtfsVolume::keptDataStream(int64_t index) const {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return std::nullopt;
    const NtfsEntry& entry = entries_[index];
    if (entry.runsLength == 0 || entry.runsOffset + entry.runsLength > runPool_.size()) return std::nullopt;
    DataStream stream;
    stream.present = true;
    stream.runs = fs::ntfs::decodeDataRuns(platform::asBytes(runPool_.data() + entry.runsOffset, entry.runsLength), UINT64_MAX);
    stream.realSize = stream.allocatedSize = stream.initializedSize = entry.dataSize;
    return stream;
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
        everyName_ = true;
        recordSlots_ = count;
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
                volume_.readAt(static_cast<int64_t>(first), buffer.data(), static_cast<uint32_t>(buffer.size()));
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
        everyName_ = false;
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
    if (scanMode == kDeep) linkFoundRecords();
    if (rootIndex_ > 0) {
        entries_[orphanIndex_].parentIndex = rootIndex_;
        appendChild(rootIndex_, orphanIndex_);
    }

    sink_.progressRange(0, count);
    placeOrphansStandard();
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

// Deep-scan entries are found records, not MFT slots: each name is linked to the found folder
// record whose own number (from its header) its parent reference gives. A parent that was not
// found sends the name to the orphan folder.
void NtfsVolume::linkFoundRecords() {
    const uint64_t count = entries_.size();
    constexpr uint64_t kNoNumber = UINT64_MAX;
    std::vector<uint64_t> numberOf(count, kNoNumber);
    std::vector<FoundRecord> named;
    for (const FoundRecord& found : foundRecords_)
        if (found.index > 0 && static_cast<uint64_t>(found.index) < count && entries_[found.index].hasName) {
            numberOf[found.index] = found.number;
            named.push_back(found);
        }

    // A copy of a record met earlier (the MFT mirror, a stale copy of the same incarnation)
    // would list the same name twice: only the first found is shown.
    std::vector<uint8_t> hidden(count, 0);
    std::stable_sort(named.begin(), named.end(), [](const FoundRecord& a, const FoundRecord& b) {
        return a.number != b.number ? a.number < b.number : a.sequence < b.sequence;
    });
    for (size_t k = 1; k < named.size(); ++k) {
        for (size_t j = k; j-- > 0 && named[j].number == named[k].number && named[j].sequence == named[k].sequence;) {
            const NtfsEntry& earlier = entries_[named[j].index];
            const NtfsEntry& later = entries_[named[k].index];
            if (hidden[named[j].index] == 0 && earlier.parentIndex == later.parentIndex &&
                name(named[j].index) == name(named[k].index)) {
                hidden[named[k].index] = 1;
                break;
            }
        }
    }

    // Parent lookup by number: a folder in use before a deleted one before anything else; among
    // equals the first found.
    auto rank = [&](int64_t index) {
        const NtfsEntry& entry = entries_[index];
        return entry.isFolder() ? (entry.isDeleted() ? 1 : 0) : 2;
    };
    std::erase_if(named, [&](const FoundRecord& found) { return hidden[found.index] != 0; });
    std::stable_sort(named.begin(), named.end(), [&](const FoundRecord& a, const FoundRecord& b) {
        if (a.number != b.number) return a.number < b.number;
        if (rank(a.index) != rank(b.index)) return rank(a.index) < rank(b.index);
        return a.index < b.index;
    });
    auto folderNumbered = [&](int64_t number) -> int64_t {
        if (number < 0) return -1;
        const auto it = std::lower_bound(named.begin(), named.end(), static_cast<uint64_t>(number),
                                         [](const FoundRecord& found, uint64_t n) { return found.number < n; });
        if (it == named.end() || it->number != static_cast<uint64_t>(number) || !entries_[it->index].isFolder()) return -1;
        return it->index;
    };

    std::vector<int64_t> parentOf(count, -1);
    for (uint64_t i = 1; i < count; ++i) {
        NtfsEntry& entry = entries_[i];
        if (static_cast<int64_t>(i) == orphanIndex_ || !entry.hasName) continue;
        const int64_t record = entry.recordIndex;
        if (record < 0 || static_cast<uint64_t>(record) >= count || hidden[record] != 0) {
            hidden[i] = 1;
            continue;
        }
        if (numberOf[record] != kNoNumber && entry.parentIndex == static_cast<int64_t>(numberOf[record])) continue;
        parentOf[i] = folderNumbered(entry.parentIndex);
    }

    // Folders that name each other as parents would hang off nothing the view reaches: each
    // loop is cut where it closes, and that folder goes to the orphan folder.
    std::vector<uint8_t> state(count, 0);  // 1 settled, 2 on the path being followed
    std::vector<int64_t> path;
    for (uint64_t i = 1; i < count; ++i) {
        if (state[i] != 0 || parentOf[i] < 0) continue;
        path.clear();
        for (int64_t x = static_cast<int64_t>(i); x >= 0 && state[x] == 0;) {
            state[x] = 2;
            path.push_back(x);
            const int64_t next = parentOf[x];
            if (next >= 0 && state[next] == 2) {
                parentOf[x] = -1;
                break;
            }
            x = next;
        }
        for (const int64_t x : path) state[x] = 1;
    }

    for (uint64_t i = 1; i < count; ++i) {
        if (static_cast<int64_t>(i) == orphanIndex_ || static_cast<int64_t>(i) == rootIndex_ || hidden[i] != 0 ||
            !entries_[i].hasName)
            continue;
        if (parentOf[i] >= 0) appendChild(parentOf[i], static_cast<int64_t>(i));
        else entries_[i].orphan = 1;
    }
    foundRecords_.clear();
    foundRecords_.shrink_to_fit();
}

std::vector<int64_t> NtfsVolume::rootLevel() const {
    std::vector<int64_t> level;
    if (!treeBuilt_) return level;
    // Without a root record the orphan folder is still shown, so a deep scan of a volume whose
    // root is gone lists what it found.
    if (rootIndex_ <= 0) {
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

// Appends the record's file names in attribute order; with `onlyIds`, just the attributes the
// base record's list names.
void NtfsVolume::collectNames(const MftRecord& record, const std::vector<uint16_t>* onlyIds, std::vector<FoundName>& out) {
    for (const AttributeHeader& attribute : record) {
        if (onlyIds && std::find(onlyIds->begin(), onlyIds->end(), attribute.attributeId) == onlyIds->end()) continue;
        const auto fileName = decodeFileName(record, attribute);
        if (!fileName) continue;
        FoundName found;
        found.name = platform::utf16leToUtf8(reinterpret_cast<const uint8_t*>(fileName->name.data()), fileName->name.size() / 2);
        found.parent = fileName->parentIndex();
        found.directory = fileName->isDirectory();
        found.dosOnly = fileName->isDosOnly();
        out.push_back(std::move(found));
    }
}

}  // namespace vdrec::fs::ntfs
