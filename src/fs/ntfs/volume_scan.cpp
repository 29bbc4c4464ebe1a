// Scans of the whole volume for FILE records: the anchor search (copies of the MFT's own
// record) and the deep scan (every named record).

#include <algorithm>
#include <cstring>

#include "fs/ntfs/ntfs_volume.h"
#include "platform/text_format.h"

namespace vdrec::fs::ntfs {

namespace {

constexpr uint64_t kDeepReportEvery = 64;

// The scans of damaged volumes want a plausible header, not just the signature.
bool isCandidate(const std::byte* sector, bool strict) {
    if (std::memcmp(sector, "FILE", 4) != 0) return false;
    if (!strict) return true;
    const platform::ByteReader in(platform::Bytes(sector, 512));
    return in.le16Or0(4) < 512 && in.le16Or0(6) < 512 && in.le16Or0(20) < 512;
}

}  // namespace

void NtfsVolume::scanVolume(uint64_t limit, bool strictCandidates, int progressEvery,
                      const std::function<bool()>& beforeChunk, const RecordVisitor& visitor) {
    if (!volume_.attached()) return;
    std::vector<std::byte> chunk(kScanChunkBytes);
    std::array<std::byte, kMftRecordSize> straddling{};
    for (uint64_t n = 0, offset = 0; offset < limit; ++n, offset += kScanChunkBytes) {
        if (beforeChunk && !beforeChunk()) return;
        if (stopRequested) return;
        if (n % static_cast<uint64_t>(progressEvery) == 0) sink_.progressPosition(static_cast<int64_t>(n));
        // Never past the volume: what follows it belongs to another one.
        const uint64_t wanted = std::min<uint64_t>(kScanChunkBytes, limit - offset);
        const uint64_t bytes = (wanted + 511) / 512 * 512;
        std::fill(chunk.begin(), chunk.end(), std::byte{0});
        volume_.readAt(static_cast<int64_t>(offset), chunk.data(), static_cast<uint32_t>(bytes));
        for (uint64_t s = 0; s + 512 <= bytes && !stopRequested;) {
            if (!isCandidate(chunk.data() + s, strictCandidates)) {
                s += 512;
                continue;
            }
            platform::Bytes record(chunk.data() + s, kMftRecordSize);
            if (s + kMftRecordSize > bytes) {
                // The record runs into the next chunk: read it whole on its own.
                volume_.readAt(static_cast<int64_t>(offset + s), straddling.data(), straddling.size());
                record = platform::Bytes(straddling.data(), straddling.size());
            }
            if (!visitor(offset + s, record)) return;
            s += kMftRecordSize;  // a record spans two sectors
        }
    }
}

int NtfsVolume::findMftAnchors(int maxCount) {
    if (maxCount < 1) maxCount = 3;
    clusterBytes = boot_ ? bootClusterBytes() : kAssumedClusterBytes;
    mftLocated = false;
    anchors_.clear();
    volumeBytes = listedBytes_;
    if (volumeBytes == 0 || !volume_.attached()) return 0;
    const uint64_t chunks = (volumeBytes + kScanChunkBytes - 1) / kScanChunkBytes;
    sink_.progressRange(0, static_cast<int64_t>(volumeBytes / kScanChunkBytes));
    linking_ = false;
    const uint64_t limit = volumeBytes > kMftRecordSize ? volumeBytes - kMftRecordSize : 0;
    scanVolume(
        limit, true, 1, [&] { return anchors_.empty() || anchors_.size() < static_cast<size_t>(maxCount); },
        [this](uint64_t offset, platform::Bytes bytes) {
            const int64_t index = appendEntry(magicOf(bytes), offset);
            parseRecordBytes(bytes, index);
            // Records 0 ($MFT) to 7 ($Boot) start every MFT back to back; the mirror holds only 0 to 3.
            if (!name(index).starts_with("$Boot") || index < 7) return true;
            const std::string_view first = name(index - 7);
            if (!first.starts_with("$MFT") || (first.size() > 4 && first[4] == 'M')) return true;
            const uint64_t recordOffset = entries_[index - 7].recordOffset;
            anchors_.push_back({platform::format("MFT_ENTRY:%zu", anchors_.size()), recordOffset / 512, recordOffset});
            status(platform::format("MFT ENTRY %zu Found.Parsing it ...", entries_.size()));
            return true;
        });
    linking_ = true;
    // A stop ends only the search; the parse that follows must still run.
    stopRequested = false;
    sink_.progressPosition(static_cast<int64_t>(chunks));
    return static_cast<int>(anchors_.size());
}

void NtfsVolume::resetForAnchor() {
    stopRequested = false;
    clearEntries();
}

bool NtfsVolume::selectMftAnchor(size_t index) {
    mftLocated = false;
    if (index >= anchors_.size()) return false;
    mftRecordOffset_ = anchors_[index].recordOffset;
    if (clusterBytes == 0) clusterBytes = kAssumedClusterBytes;
    mftRuns = mftRunsFrom(anchors_[index].recordOffset);
    if (mftRuns.empty()) return false;
    mftLocated = true;
    needMftRuns = false;
    return true;
}

void NtfsVolume::deepScanMft() {
    clusterBytes = bootClusterBytes();
    mftLocated = false;
    if (!volume_.attached()) return;
    const uint64_t chunks = (volumeBytes + kScanChunkBytes - 1) / kScanChunkBytes;
    sink_.progressRange(0, static_cast<int64_t>(volumeBytes / kScanChunkBytes));
    clearEntries();
    // Index 0 is "no entry" in the child links: a blank there keeps the first found record visible.
    appendEntry({}, kNoRecordOffset);
    linking_ = false;
    everyName_ = true;
    deferListedNames_ = true;
    uint64_t found = 0;
    scanVolume(volumeBytes, true, 1, nullptr, [&](uint64_t offset, platform::Bytes bytes) {
        const int64_t index = appendEntry(magicOf(bytes), offset);
        const size_t deferred = deferredNames_.size();
        parseRecordBytes(bytes, index);
        FoundRecord record{0, offset, index, record_->header.sequenceNumber};
        const auto number = ownRecordNumber(*record_, index);
        if (!entries_[index].hasName && deferredNames_.size() == deferred) {
            // Nothing named: no further entry was added after it. Extension records end here
            // too, but stay findable by number for the names of their base records.
            entries_.pop_back();
            record.index = -1;
        } else if (found++ % kDeepReportEvery == 0) {
            status(platform::format("MFT ENTRY %zu Found.Parsing it ..", entries_.size() - 1));
        }
        if (number) {
            record.number = *number;
            foundRecords_.push_back(record);
        }
        return true;
    });
    deferListedNames_ = false;
    resolveDeferredNames();
    everyName_ = false;
    linking_ = true;
    sink_.progressPosition(static_cast<int64_t>(chunks));
}

// Names of deep-scan records that live in extension records, now that every record found is
// known by its number. Several copies may carry a number: the one that is an extension of this
// very record is read.
void NtfsVolume::resolveDeferredNames() {
    if (deferredNames_.empty()) return;
    std::vector<FoundRecord> byNumber = foundRecords_;
    std::stable_sort(byNumber.begin(), byNumber.end(),
                     [](const FoundRecord& a, const FoundRecord& b) { return a.number < b.number; });
    const std::vector<int64_t> deferred = std::move(deferredNames_);
    deferredNames_.clear();
    for (const int64_t index : deferred) {
        if (stopRequested) break;
        if (!readRecord(entries_[index].recordOffset, *record_)) continue;
        const auto own = ownRecordNumber(*record_, index);
        names_.clear();
        collectNames(*record_, nullptr, names_);
        if (own) {
            const uint64_t baseReference = (uint64_t{record_->header.sequenceNumber} << 48) | *own;
            collectListedNames(*record_, *own, [&](uint64_t number) -> std::optional<uint64_t> {
                auto it = std::lower_bound(byNumber.begin(), byNumber.end(), number,
                                           [](const FoundRecord& found, uint64_t n) { return found.number < n; });
                for (; it != byNumber.end() && it->number == number; ++it) {
                    if (!readRecord(it->offset, *extension_)) continue;
                    const uint64_t base = extension_->header.baseRecordReference;
                    if (base == baseReference || (record_->header.sequenceNumber == 0 && (base & 0xFFFFFFFFFFFFull) == *own))
                        return it->offset;
                }
                return std::nullopt;
            });
        }
        assignNames(index);
    }
}

}  // namespace vdrec::fs::ntfs
