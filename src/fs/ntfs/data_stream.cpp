// Gathering a file's unnamed $DATA: the attribute itself, or with an attribute list every
// extent of it, base record included, in starting-VCN order. Named streams (such as the
// "Zone.Identifier" browsers add) are never the file's data.

#include <algorithm>

#include "fs/file_copier.h"
#include "fs/ntfs/ntfs_volume.h"

namespace vdrec::fs::ntfs {

namespace {

// NTFS keeps attribute lists below 256 KiB; more is damage.
constexpr uint64_t kMaxAttributeListBytes = 256u * 1024;

struct Extent {
    AttributeHeader header;
    std::vector<DataRun> runs;
};

bool isUnnamedData(const AttributeHeader& attribute) { return attribute.type == kAttrData && attribute.nameLength == 0; }

}  // namespace

VolumeGeometry NtfsVolume::geometry() const {
    VolumeGeometry volume;
    volume.clusterBytes = usableClusterSize(clusterBytes) ? clusterBytes : kAssumedClusterBytes;
    volume.clusterCount = volumeBytes / volume.clusterBytes;
    return volume;
}

std::vector<uint8_t> NtfsVolume::readAttributeListContent(const MftRecord& record, const AttributeHeader& attribute) {
    if (!attribute.nonResident) {
        const platform::Bytes content = record.content(attribute);
        const auto* data = reinterpret_cast<const uint8_t*>(content.data());
        return std::vector<uint8_t>(data, data + content.size());
    }
    DataStream list;
    list.present = true;
    list.runs = fs::ntfs::decodeDataRuns(record.mappingPairs(attribute), attribute.vcnCount());
    list.realSize = std::min({attribute.realSize, kMaxAttributeListBytes, volumeBytes});
    list.initializedSize = std::min(attribute.initializedSize, list.realSize);
    return readAvailableData(volume_, mapDataStream(volume_, geometry(), list), kMaxAttributeListBytes);
}

DataStream NtfsVolume::dataStreamOf(const MftRecord& base, bool forMft) {
    DataStream stream;
    std::vector<Extent> extents;
    const AttributeHeader* attributeList = nullptr;
    for (const AttributeHeader& attribute : base) {
        if (attribute.type == kAttrAttributeList && !attributeList) attributeList = &attribute;
        if (!isUnnamedData(attribute)) continue;
        if (!attribute.nonResident) {
            const platform::Bytes content = base.content(attribute);
            const auto* data = reinterpret_cast<const uint8_t*>(content.data());
            stream.present = stream.resident = true;
            stream.residentBytes.assign(data, data + content.size());
            stream.realSize = stream.allocatedSize = stream.initializedSize = content.size();
            stream.flags = attribute.flags;
            return stream;
        }
        extents.push_back({attribute, fs::ntfs::decodeDataRuns(base.mappingPairs(attribute), attribute.vcnCount())});
    }

    if (attributeList) {
        const std::vector<uint8_t> listBytes = readAttributeListContent(base, *attributeList);
        std::vector<AttributeListEntry> listed = decodeAttributeList(platform::asBytes(listBytes.data(), listBytes.size()));
        std::erase_if(listed, [](const AttributeListEntry& e) { return e.type != kAttrData || e.nameLength != 0; });
        std::stable_sort(listed.begin(), listed.end(),
                         [](const AttributeListEntry& a, const AttributeListEntry& b) { return a.startingVcn < b.startingVcn; });
        auto extension = std::make_unique<MftRecord>();
        const bool baseHasNumber = base.header.updateSequenceOffset >= 0x30;
        for (const AttributeListEntry& item : listed) {
            const bool known = std::any_of(extents.begin(), extents.end(),
                                           [&](const Extent& e) { return e.header.firstVcn == item.startingVcn; });
            if (known) continue;
            // The MFT's own extension records are found through the runs gathered so far.
            std::optional<uint64_t> offset;
            if (forMft) {
                std::vector<DataRun> sofar;
                std::sort(extents.begin(), extents.end(),
                          [](const Extent& a, const Extent& b) { return a.header.firstVcn < b.header.firstVcn; });
                uint64_t vcn = 0;
                for (const Extent& e : extents) {
                    if (e.header.firstVcn != vcn) break;
                    sofar.insert(sofar.end(), e.runs.begin(), e.runs.end());
                    vcn += totalClusters(e.runs);
                }
                if (auto byte = platform::checkedMul(item.recordNumber, kMftRecordSize)) offset = mapMftOffset(sofar, *byte);
            } else {
                offset = recordOffsetOf(item.recordNumber);
            }
            if (!offset || !readRecord(*offset, *extension) || !extension->header.isFile()) {
                stream.complete = false;
                continue;
            }
            // A reused extension record belongs to another file now.
            if (baseHasNumber && (extension->header.baseRecordReference & 0xFFFFFFFFFFFFull) != base.header.recordNumber) {
                stream.complete = false;
                continue;
            }
            bool taken = false;
            for (const AttributeHeader& attribute : *extension) {
                if (!isUnnamedData(attribute) || !attribute.nonResident || attribute.firstVcn != item.startingVcn) continue;
                extents.push_back({attribute, fs::ntfs::decodeDataRuns(extension->mappingPairs(attribute), attribute.vcnCount())});
                taken = true;
                break;
            }
            if (!taken) stream.complete = false;
        }
    }
    if (extents.empty()) return stream;

    std::stable_sort(extents.begin(), extents.end(),
                     [](const Extent& a, const Extent& b) { return a.header.firstVcn < b.header.firstVcn; });
    stream.present = true;
    const AttributeHeader& first = extents.front().header;
    if (first.firstVcn == 0) {
        stream.realSize = first.realSize;
        stream.allocatedSize = first.allocatedSize;
        stream.initializedSize = std::min(first.initializedSize, first.realSize);
        stream.flags = first.flags;
    } else {
        stream.complete = false;  // the sizes live in the first extent
    }
    uint64_t vcn = 0;
    for (const Extent& extent : extents) {
        if (extent.header.firstVcn < vcn) continue;  // overlaps what is placed already
        if (extent.header.firstVcn > vcn) {
            stream.runs.push_back({-1, extent.header.firstVcn - vcn, false});
            stream.complete = false;
        }
        stream.runs.insert(stream.runs.end(), extent.runs.begin(), extent.runs.end());
        const uint64_t covered = totalClusters(extent.runs);
        const uint64_t wanted = extent.header.vcnCount();
        if (covered < wanted) {
            stream.runs.push_back({-1, wanted - covered, false});
            stream.complete = false;
        }
        vcn = extent.header.firstVcn + std::max(covered, wanted);
    }
    if (first.firstVcn != 0) {
        stream.realSize = stream.allocatedSize = stream.initializedSize = 0;
    }
    // A missing last extent still leaves a file of its real size (zeros where the data is lost),
    // no larger than the volume could have held.
    const uint64_t cluster = geometry().clusterBytes;
    const uint64_t wantedBytes = volumeBytes == 0 ? stream.realSize : std::min(stream.realSize, volumeBytes);
    const uint64_t wantedClusters = wantedBytes / cluster + (wantedBytes % cluster != 0);
    if (!stream.complete && wantedClusters > vcn) stream.runs.push_back({-1, wantedClusters - vcn, false});
    return stream;
}

std::vector<DataRun> NtfsVolume::mftRunsFrom(uint64_t recordOffset) {
    auto record = std::make_unique<MftRecord>();
    if (!readRecord(recordOffset, *record)) return {};
    DataStream stream = dataStreamOf(*record, true);
    if (stream.resident) return {};
    return stream.runs;
}

std::vector<DataRun> NtfsVolume::decodeDataRuns(uint64_t recordOffset, uint32_t attributeType) {
    auto record = std::make_unique<MftRecord>();
    if (!readRecord(recordOffset, *record)) return {};
    if (attributeType == kAttrData) return dataStreamOf(*record, false).runs;
    for (const AttributeHeader& attribute : *record)
        if (attribute.type == attributeType && attribute.nonResident)
            return fs::ntfs::decodeDataRuns(record->mappingPairs(attribute), attribute.vcnCount());
    return {};
}

DataStream NtfsVolume::readDataStream(int64_t index, bool* recordIsFile) {
    if (recordIsFile) *recordIsFile = false;
    if (index < 0 || static_cast<uint64_t>(index) >= entries_.size()) return {};
    auto record = std::make_unique<MftRecord>();
    if (!readRecord(entries_[index].recordOffset, *record) && entries_[index].recordOffset == kNoRecordOffset) return {};
    if (recordIsFile) *recordIsFile = record->header.isFile();
    return dataStreamOf(*record, false);
}

}  // namespace vdrec::fs::ntfs
