// A file's unnamed $DATA as a file map: plain runs as device ranges, holes and bytes past the
// initialized size as holes, compressed units decoded one unit at a time when the copier asks.

#include <algorithm>
#include <cstring>
#include <memory>

#include "fs/ntfs/data_stream.h"
#include "fs/ntfs/lznt1.h"

namespace vdrec::fs::ntfs {

namespace {

uint64_t saturatingMul(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

// Where each cluster of one compression unit lies.
struct UnitCluster {
    enum class State : uint8_t { Hole, Stored, Lost };
    State state = State::Hole;
    uint64_t lcn = 0;
};

struct CompressedUnit {
    uint64_t fileOffset = 0;
    std::vector<UnitCluster> clusters;
};

// Decodes the compressed units of one stream on request. Shared by the map's producer, which
// may outlive the call that made it.
class UnitDecoder {
public:
    UnitDecoder(const image::BlockDevice& device, uint64_t clusterBytes) : device_(device), clusterBytes_(clusterBytes) {}

    std::vector<CompressedUnit> units;  // ascending file offsets

    // `length` bytes at `fileOffset`, inside the units; false when some could not be had.
    bool produce(uint64_t fileOffset, uint8_t* into, size_t length) {
        bool whole = true;
        const uint64_t unitBytes = kCompressionUnitClusters * clusterBytes_;
        auto it = std::upper_bound(units.begin(), units.end(), fileOffset,
                                   [](uint64_t offset, const CompressedUnit& unit) { return offset < unit.fileOffset; });
        if (it != units.begin()) --it;
        for (; it != units.end() && it->fileOffset < fileOffset + length; ++it) {
            if (it->fileOffset + unitBytes <= fileOffset) continue;
            whole = decode(*it) && whole;
            const uint64_t from = std::max(fileOffset, it->fileOffset);
            const uint64_t to = std::min(fileOffset + length, it->fileOffset + unitBytes);
            std::memcpy(into + (from - fileOffset), unit_.data() + (from - it->fileOffset), static_cast<size_t>(to - from));
        }
        return whole;
    }

private:
    bool decode(const CompressedUnit& unit) {
        const uint64_t unitBytes = kCompressionUnitClusters * clusterBytes_;
        compressed_.assign(static_cast<size_t>(unitBytes), 0);
        unit_.assign(static_cast<size_t>(unitBytes), 0);
        bool whole = true;
        size_t dataClusters = 0;
        // The compressed bytes fill the unit's leading clusters; contiguous ones are read together.
        for (size_t k = 0; k < unit.clusters.size();) {
            const UnitCluster& first = unit.clusters[k];
            if (first.state != UnitCluster::State::Hole) dataClusters = k + 1;
            if (first.state == UnitCluster::State::Lost) whole = false;
            if (first.state != UnitCluster::State::Stored) {
                ++k;
                continue;
            }
            size_t end = k + 1;
            while (end < unit.clusters.size() && unit.clusters[end].state == UnitCluster::State::Stored &&
                   unit.clusters[end].lcn == first.lcn + (end - k))
                ++end;
            dataClusters = end;
            const uint64_t offset = saturatingMul(first.lcn, clusterBytes_);
            const size_t bytes = static_cast<size_t>((end - k) * clusterBytes_);
            if (offset > INT64_MAX || !device_.readAt(offset, compressed_.data() + k * clusterBytes_, bytes)) whole = false;
            k = end;
        }
        const auto decoded =
            decompressLznt1(std::span<const uint8_t>(compressed_.data(), dataClusters * clusterBytes_), unit_);
        return whole && !decoded.damaged;
    }

    const image::BlockDevice& device_;
    uint64_t clusterBytes_;
    std::vector<uint8_t> compressed_;
    std::vector<uint8_t> unit_;
};

class StreamMapper {
public:
    StreamMapper(const image::BlockDevice& device, const VolumeGeometry& volume, const DataStream& stream)
        : device_(device), volume_(volume), stream_(stream) {
        map_.size = stream.outputLength(volume.clusterBytes);
        map_.complete = stream.complete && stream.realSize <= map_.size;
        map_.retryBytes = volume.clusterBytes;
    }

    FileMap run() {
        if (stream_.resident) {
            map_.size = stream_.residentBytes.size();
            map_.addHeld(0, stream_.residentBytes.data(), stream_.residentBytes.size());
        } else if (stream_.compressed()) {
            mapCompressed();
        } else {
            mapPlain();
        }
        return std::move(map_);
    }

private:
    // Clusters of `run` from `first` on that the volume holds, at most `count`.
    uint64_t readableClusters(const DataRun& run, uint64_t first, uint64_t count) const {
        if (run.sparse || run.lcn < 0) return 0;
        const uint64_t lcn = static_cast<uint64_t>(run.lcn) + first;
        if (lcn < static_cast<uint64_t>(run.lcn)) return 0;
        if (volume_.clusterCount == 0) return count;
        return lcn < volume_.clusterCount ? std::min(count, volume_.clusterCount - lcn) : 0;
    }

    // Stored bytes at `fileOffset`, cut at the saved length; past the initialized size the file
    // is zeros whatever the clusters hold, so that part is a hole.
    void addStored(FilePiece::Kind kind, uint64_t fileOffset, uint64_t length, uint64_t source) {
        if (fileOffset >= map_.size) return;
        length = std::min(length, map_.size - fileOffset);
        const uint64_t initialized = stream_.initializedSize;
        const uint64_t stored = fileOffset >= initialized ? 0 : std::min(length, initialized - fileOffset);
        if (kind == FilePiece::Kind::Device) map_.addDevice(fileOffset, stored, source);
        else if (kind == FilePiece::Kind::Produced) map_.addProduced(fileOffset, stored);
        else map_.addLost(fileOffset, stored);
        map_.addHole(fileOffset + stored, length - stored);
    }

    void mapPlain() {
        const uint64_t cluster = volume_.clusterBytes;
        uint64_t vcn = 0;
        for (const DataRun& run : stream_.runs) {
            const uint64_t runStart = saturatingMul(vcn, cluster);
            if (runStart >= map_.size) break;
            const uint64_t clusters = std::min(run.length, (map_.size - runStart + cluster - 1) / cluster);
            if (run.sparse) {
                map_.addHole(runStart, std::min(saturatingMul(clusters, cluster), map_.size - runStart));
            } else {
                const uint64_t readable = readableClusters(run, 0, clusters);
                if (readable > 0)
                    addStored(FilePiece::Kind::Device, runStart, readable * cluster, static_cast<uint64_t>(run.lcn) * cluster);
                if (readable < clusters)
                    addStored(FilePiece::Kind::Lost, runStart + readable * cluster, (clusters - readable) * cluster, 0);
            }
            vcn += run.length;
        }
    }

    void mapCompressed() {
        const uint64_t cluster = volume_.clusterBytes;
        auto decoder = std::make_shared<UnitDecoder>(device_, cluster);
        std::vector<UnitCluster> clusters;
        size_t runIndex = 0;
        uint64_t intoRun = 0;  // clusters of stream_.runs[runIndex] already consumed
        uint64_t unitVcn = 0;
        while (runIndex < stream_.runs.size()) {
            const uint64_t unitStart = saturatingMul(unitVcn, cluster);
            if (unitStart >= map_.size) break;
            // A hole or lost region covering whole units is taken in one step, however long.
            const DataRun& current = stream_.runs[runIndex];
            if (current.sparse || current.lcn < 0) {
                const uint64_t wholeUnits = (current.length - intoRun) / kCompressionUnitClusters;
                if (wholeUnits > 0) {
                    const uint64_t bytes = saturatingMul(wholeUnits * kCompressionUnitClusters, cluster);
                    if (current.sparse) map_.addHole(unitStart, std::min(bytes, map_.size - unitStart));
                    else addStored(FilePiece::Kind::Lost, unitStart, bytes, 0);
                    intoRun += wholeUnits * kCompressionUnitClusters;
                    unitVcn += wholeUnits * kCompressionUnitClusters;
                    if (intoRun == current.length) {
                        ++runIndex;
                        intoRun = 0;
                    }
                    continue;
                }
            }
            clusters.clear();
            while (clusters.size() < kCompressionUnitClusters && runIndex < stream_.runs.size()) {
                const DataRun& run = stream_.runs[runIndex];
                UnitCluster entry;
                if (run.sparse) entry.state = UnitCluster::State::Hole;
                else if (readableClusters(run, intoRun, 1) == 1) entry = {UnitCluster::State::Stored, static_cast<uint64_t>(run.lcn) + intoRun};
                else entry.state = UnitCluster::State::Lost;
                clusters.push_back(entry);
                if (++intoRun == run.length) {
                    ++runIndex;
                    intoRun = 0;
                }
            }
            mapUnit(unitStart, clusters, *decoder);
            unitVcn += clusters.size();
        }
        if (!decoder->units.empty())
            map_.produce = [decoder](uint64_t fileOffset, uint8_t* into, size_t length) {
                return decoder->produce(fileOffset, into, length);
            };
    }

    void mapUnit(uint64_t unitStart, const std::vector<UnitCluster>& clusters, UnitDecoder& decoder) {
        const uint64_t cluster = volume_.clusterBytes;
        const bool anyStored = std::any_of(clusters.begin(), clusters.end(),
                                           [](const UnitCluster& c) { return c.state != UnitCluster::State::Hole; });
        const bool noHole = std::none_of(clusters.begin(), clusters.end(),
                                         [](const UnitCluster& c) { return c.state == UnitCluster::State::Hole; });
        if (!anyStored) {
            // A unit of holes is zeros.
            map_.addHole(unitStart, std::min(clusters.size() * cluster, map_.size - unitStart));
            return;
        }
        if (noHole) {
            // No hole in the unit: NTFS stored it uncompressed.
            for (size_t k = 0; k < clusters.size(); ++k) {
                const uint64_t at = unitStart + k * cluster;
                if (clusters[k].state == UnitCluster::State::Stored)
                    addStored(FilePiece::Kind::Device, at, cluster, clusters[k].lcn * cluster);
                else
                    addStored(FilePiece::Kind::Lost, at, cluster, 0);
            }
            return;
        }
        decoder.units.push_back({unitStart, clusters});
        addStored(FilePiece::Kind::Produced, unitStart, kCompressionUnitClusters * cluster, 0);
    }

    const image::BlockDevice& device_;
    const VolumeGeometry& volume_;
    const DataStream& stream_;
    FileMap map_;
};

}  // namespace

uint64_t DataStream::outputLength(uint64_t clusterBytes) const {
    if (resident) return residentBytes.size();
    return std::min(realSize, saturatingMul(totalClusters(runs), clusterBytes));
}

FileMap mapDataStream(const image::BlockDevice& device, const VolumeGeometry& volume, const DataStream& stream) {
    return StreamMapper(device, volume, stream).run();
}

}  // namespace vdrec::fs::ntfs
