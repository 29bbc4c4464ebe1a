#include "fs/ntfs/ntfs_volume.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/text_format.h"

namespace vdrec::fs::ntfs {

namespace {

// MFT slots are read this many bytes at a time and decoded from memory.
constexpr uint64_t kMftReadBytes = 4u * 1024 * 1024;

}  // namespace


NtfsVolume::NtfsVolume(platform::UiSink& sink)
    : sink_(sink), record_(std::make_unique<MftRecord>()), extension_(std::make_unique<MftRecord>()) {}

NtfsVolume::~NtfsVolume() = default;

void NtfsVolume::bind(const image::DeviceSlice& volume, uint64_t listedBytes) {
    volume_ = volume;
    listedBytes_ = listedBytes;
}

bool NtfsVolume::readBootSector() {
    if (!volume_.attached()) return false;
    std::array<std::byte, 512> sector{};
    volume_.readAt(0, sector.data(), sector.size());
    boot_ = decodeBootSector(platform::Bytes(sector.data(), sector.size()));
    volumeBytes = 0;
    if (boot_ && boot_->oemIsNtfs && boot_->totalSectors < (uint64_t{1} << 54)) volumeBytes = boot_->totalSectors << 9;
    if (boot_ && !boot_->oemIsNtfs) volumeBytes = listedBytes_;
    return volumeBytes != 0;
}

uint64_t NtfsVolume::bootClusterBytes() {
    if (!boot_) return kAssumedClusterBytes;
    const uint64_t bytes = boot_->clusterBytes();
    if (usableClusterSize(bytes)) return bytes;
    status("cluster size in boot sector is not valid.Using 4096 bytes per cluster...");
    return kAssumedClusterBytes;
}

bool NtfsVolume::locateMft() {
    if (!volume_.attached()) return false;
    if (boot_ && boot_->oemIsNtfs) {
        mftLocated = true;
        clusterBytes = bootClusterBytes();
        const auto offset = platform::checkedMul(boot_->mftCluster, clusterBytes);
        // Out of the volume: the MFT is "located" but yields no slot.
        if (!offset || *offset >= volumeBytes) return true;
        status("boot sector is fine.Getting run of mft entry...");
        mftRecordOffset_ = *offset;
        mftRuns = mftRunsFrom(*offset);
        status("Got run...");
        needMftRuns = false;
        return true;
    }
    clusterBytes = kAssumedClusterBytes;
    status("boot sector corrupt.Scanning for first mft entry...");
    mftLocated = false;
    sink_.progressRange(0, static_cast<int64_t>(volumeBytes / kScanChunkBytes));
    // Index 0 is "no entry" in the child links: keep a blank there so no found record hides.
    appendEntry({}, kNoRecordOffset);
    linking_ = true;
    scanVolume(volumeBytes, false, 100, nullptr, [this](uint64_t offset, platform::Bytes bytes) {
        const int64_t index = appendEntry(magicOf(bytes), offset);
        parseRecordBytes(bytes, index);
        if (!name(index).starts_with("$MF")) return true;
        status("found mft entry.getting its run ...");
        auto runs = mftRunsFrom(offset);
        status("got run ...");
        if (runs.empty()) return true;
        mftRuns = std::move(runs);
        mftRecordOffset_ = offset;
        mftLocated = true;
        needMftRuns = false;
        clearEntries();
        return false;
    });
    return mftLocated;
}

void NtfsVolume::collectMftRecords() {
    if (!mftLocated || stopRequested) return;
    if (clusterBytes == 0) clusterBytes = kAssumedClusterBytes;
    if (needMftRuns && !entries_.empty()) {
        status("getting run of mft...");
        mftRecordOffset_ = entries_[0].recordOffset;
        status("got run...");
    }
    // The extension records of a fragmented MFT are found through the cluster size now in force.
    if (mftRecordOffset_) mftRuns = mftRunsFrom(*mftRecordOffset_);
    clearEntries();

    // No volume holds more records than it has kilobytes. Without a known size no run can be
    // read, so blank slots are not made by the billion for runs that claim them.
    const uint64_t maxSlots = volumeBytes / kMftRecordSize + 1;
    const uint64_t volumeClusters = volumeBytes / clusterBytes;
    // Every run adds its slots, readable or not: the table is sized once, not regrown while
    // it fills (the orphan folder and a few extension records may follow).
    uint64_t expected = 0;
    for (const DataRun& run : mftRuns) {
        const uint64_t runBytes = platform::checkedMul(run.length, clusterBytes).value_or(UINT64_MAX);
        expected += std::min<uint64_t>(runBytes / kMftRecordSize, maxSlots - std::min(maxSlots, expected));
    }
    // Without a known volume size the runs are not trusted that far.
    if (volumeBytes != 0) entries_.reserve(static_cast<size_t>(expected) + 16);
    std::vector<std::byte> buffer;
    for (const DataRun& run : mftRuns) {
        status(platform::format("parsing %lld cluster of MFT run.", static_cast<long long>(run.lcn)));
        if (stopRequested) break;
        const uint64_t runBytes = platform::checkedMul(run.length, clusterBytes).value_or(UINT64_MAX);
        uint64_t slots = runBytes / kMftRecordSize;
        slots = std::min<uint64_t>(slots, maxSlots - std::min<uint64_t>(maxSlots, entries_.size()));
        const bool readable = !run.sparse && run.lcn >= 0 && static_cast<uint64_t>(run.lcn) < volumeClusters &&
                              run.length <= volumeClusters - static_cast<uint64_t>(run.lcn);
        if (!readable) {
            // Slots keep their numbers so that later records stay at their index.
            for (uint64_t k = 0; k < slots; ++k) appendEntry({}, kNoRecordOffset);
            continue;
        }
        const uint64_t runOffset = static_cast<uint64_t>(run.lcn) * clusterBytes;
        const uint64_t perRead = kMftReadBytes / kMftRecordSize;
        for (uint64_t first = 0; first < slots && !stopRequested; first += perRead) {
            const uint64_t count = std::min(perRead, slots - first);
            buffer.resize(count * kMftRecordSize);
            const uint64_t offset = runOffset + first * kMftRecordSize;
            volume_.readAt(static_cast<int64_t>(offset), buffer.data(), static_cast<uint32_t>(buffer.size()));
            for (uint64_t k = 0; k < count; ++k)
                appendEntry(magicOf(platform::Bytes(buffer.data() + k * kMftRecordSize, 4)), offset + k * kMftRecordSize);
        }
    }
}

int64_t NtfsVolume::appendEntry(std::array<char, 4> magic, uint64_t recordOffset) {
    NtfsEntry entry;
    entry.magic = magic;
    entry.recordOffset = recordOffset;
    entry.recordIndex = static_cast<int64_t>(entries_.size());
    entries_.push_back(entry);
    return entry.recordIndex;
}

std::array<char, 4> NtfsVolume::magicOf(platform::Bytes bytes) {
    std::array<char, 4> magic{};
    if (bytes.size() >= 4) std::memcpy(magic.data(), bytes.data(), 4);
    return magic;
}

void NtfsVolume::clearEntries() {
    entries_.clear();
    entries_.shrink_to_fit();
    namePool_.clear();
    namePool_.shrink_to_fit();
    runPool_.clear();
    runPool_.shrink_to_fit();
    foundRecords_.clear();
    deferredNames_.clear();
    recordSlots_ = 0;
    treeBuilt_ = false;
    orphanIndex_ = -1;
    rootIndex_ = -1;
}

void NtfsVolume::assignName(NtfsEntry& entry, std::string_view utf8) {
    const size_t length = std::min<size_t>(utf8.size(), UINT16_MAX);
    entry.nameOffset = namePool_.size();
    entry.nameLength = static_cast<uint16_t>(length);
    entry.hasName = true;
    namePool_.append(utf8.substr(0, length));
}

bool NtfsVolume::validEntry(int64_t index) const {
    return index >= 0 && static_cast<uint64_t>(index) < entries_.size() && entries_[index].isFile();
}

std::string_view NtfsVolume::name(int64_t index) const {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return {};
    const NtfsEntry& entry = entries_[index];
    if (!entry.hasName) return {};
    return std::string_view(namePool_).substr(entry.nameOffset, entry.nameLength);
}

int64_t NtfsVolume::recordIndex(int64_t index) const {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return index;
    return entries_[index].recordIndex;
}

bool NtfsVolume::hasName(int64_t index) const {
    return index >= 0 && static_cast<uint64_t>(index) < entries_.size() && entries_[index].hasName;
}

void NtfsVolume::rename(int64_t index, std::string_view newName) {
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return;
    assignName(entries_[index], newName);
}

bool NtfsVolume::readRecord(uint64_t recordOffset, MftRecord& out) {
    std::array<std::byte, kMftRecordSize> bytes{};
    if (!volume_.attached() || recordOffset == kNoRecordOffset || recordOffset > INT64_MAX) return false;
    // Saving reads the records of a folder's files, which mostly lie side by side.
    const bool complete = volume_.readNearby(static_cast<int64_t>(recordOffset), bytes.data(), bytes.size());
    decodeMftRecord(platform::Bytes(bytes.data(), bytes.size()), out);
    return complete;
}

std::optional<uint64_t> NtfsVolume::recordOffsetOf(uint64_t recordNumber) {
    if (!mftRuns.empty() && usableClusterSize(clusterBytes)) {
        const auto offset = platform::checkedMul(recordNumber, kMftRecordSize);
        if (!offset) return std::nullopt;
        return mapMftOffset(mftRuns, *offset);
    }
    if (recordNumber < entries_.size() && entries_[recordNumber].recordOffset != kNoRecordOffset)
        return entries_[recordNumber].recordOffset;
    return std::nullopt;
}

std::optional<uint64_t> NtfsVolume::mapMftOffset(const std::vector<DataRun>& runs, uint64_t mftByte) const {
    if (clusterBytes == 0) return std::nullopt;
    const uint64_t vcn = mftByte / clusterBytes;
    uint64_t first = 0;
    for (const DataRun& run : runs) {
        if (vcn < first + run.length) {
            if (run.sparse || run.lcn < 0) return std::nullopt;
            const auto lcnBytes = platform::checkedMul(static_cast<uint64_t>(run.lcn) + (vcn - first), clusterBytes);
            if (!lcnBytes) return std::nullopt;
            return *lcnBytes + mftByte % clusterBytes;
        }
        first += run.length;
    }
    return std::nullopt;
}

}  // namespace vdrec::fs::ntfs
