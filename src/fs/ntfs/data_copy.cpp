#include <algorithm>
#include <cstring>

#include "fs/ntfs/data_stream.h"
#include "fs/ntfs/lznt1.h"

namespace vdrec::fs::ntfs {

namespace {

// Plain data moves in reads of this size: large enough for the disk, small enough to bound memory.
constexpr uint64_t kCopyChunkBytes = 4u * 1024 * 1024;

uint64_t saturatingMul(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

class StreamCopier {
public:
    StreamCopier(const image::DeviceSlice& device, const VolumeGeometry& volume, const DataStream& stream,
                 const DataSink& sink)
        : device_(device), volume_(volume), stream_(stream), sink_(sink) {
        result_.length = stream.outputLength(volume.clusterBytes);
        result_.complete = stream.complete && stream.realSize <= result_.length;
    }

    StreamCopyResult run() {
        if (stream_.resident) {
            result_.length = stream_.residentBytes.size();
            emit(0, stream_.residentBytes.data(), stream_.residentBytes.size());
        } else if (stream_.compressed()) {
            copyCompressed();
        } else {
            copyPlain();
        }
        return result_;
    }

private:
    bool readable(const DataRun& run, uint64_t first, uint64_t count) const {
        if (run.sparse || run.lcn < 0) return false;
        const uint64_t lcn = static_cast<uint64_t>(run.lcn) + first;
        if (lcn < static_cast<uint64_t>(run.lcn)) return false;
        return volume_.clusterCount == 0 || (lcn < volume_.clusterCount && count <= volume_.clusterCount - lcn);
    }

    // Reads `bytes` from cluster `lcn`; an unreadable part reads as zeros and marks the copy short.
    void readClusters(uint64_t lcn, uint8_t* into, size_t bytes) {
        const uint64_t offset = saturatingMul(lcn, volume_.clusterBytes);
        const size_t sectorBytes = (bytes + image::kSectorSize - 1) / image::kSectorSize * image::kSectorSize;
        if (offset > INT64_MAX || !device_.readAt(static_cast<int64_t>(offset), into, static_cast<uint32_t>(sectorBytes)))
            result_.complete = false;
    }

    // Passes bytes to the sink, cut at the output length; bytes past the initialized size stay zero.
    void emit(uint64_t offset, const uint8_t* data, size_t size) {
        if (result_.error != 0 || offset >= result_.length) return;
        size = static_cast<size_t>(std::min<uint64_t>(size, result_.length - offset));
        if (!stream_.resident && offset + size > stream_.initializedSize)
            size = offset >= stream_.initializedSize ? 0 : static_cast<size_t>(stream_.initializedSize - offset);
        if (size == 0) return;
        result_.error = sink_(offset, data, size);
    }

    void copyPlain() {
        const uint64_t cluster = volume_.clusterBytes;
        // Small files are the common case: size the buffer by what the file needs, not the chunk
        // limit, or every copy pays for clearing megabytes.
        const uint64_t neededClusters = std::max<uint64_t>(1, (result_.length + cluster - 1) / cluster);
        const uint64_t chunkClusters = std::min(std::max<uint64_t>(1, kCopyChunkBytes / cluster), neededClusters);
        buffer_.resize(chunkClusters * cluster);
        uint64_t vcn = 0;
        for (const DataRun& run : stream_.runs) {
            const uint64_t runStart = saturatingMul(vcn, cluster);
            if (runStart >= result_.length || result_.error != 0) break;
            if (!run.sparse && run.lcn < 0) result_.complete = false;
            if (!run.sparse && run.lcn >= 0) {
                const uint64_t wanted = std::min(run.length, (result_.length - runStart + cluster - 1) / cluster);
                for (uint64_t done = 0; done < wanted && result_.error == 0; done += chunkClusters) {
                    const uint64_t count = std::min(chunkClusters, wanted - done);
                    const uint64_t fileOffset = runStart + done * cluster;
                    // Past the initialized size the file is zeros whatever the clusters hold.
                    if (fileOffset >= stream_.initializedSize) break;
                    if (!readable(run, done, count)) {
                        result_.complete = false;
                        continue;
                    }
                    readClusters(static_cast<uint64_t>(run.lcn) + done, buffer_.data(), count * cluster);
                    emit(fileOffset, buffer_.data(), count * cluster);
                }
            }
            vcn += run.length;
        }
    }

    // Where each cluster of one compression unit lies: 0 hole, 1 allocated, 2 lost.
    struct UnitCluster {
        uint8_t state = 0;
        uint64_t lcn = 0;
    };

    void copyCompressed() {
        const uint64_t cluster = volume_.clusterBytes;
        const uint64_t unitBytes = kCompressionUnitClusters * cluster;
        std::vector<uint8_t> compressed(unitBytes);
        std::vector<uint8_t> unit(unitBytes);
        std::vector<UnitCluster> clusters;
        size_t runIndex = 0;
        uint64_t intoRun = 0;  // clusters of stream_.runs[runIndex] already consumed
        uint64_t unitVcn = 0;
        while (runIndex < stream_.runs.size() && result_.error == 0) {
            const uint64_t unitStart = saturatingMul(unitVcn, cluster);
            if (unitStart >= result_.length) break;
            // A hole or lost region covering whole units is skipped in one step, however long.
            const DataRun& current = stream_.runs[runIndex];
            if (current.sparse || current.lcn < 0) {
                const uint64_t wholeUnits = (current.length - intoRun) / kCompressionUnitClusters;
                if (wholeUnits > 0) {
                    if (current.lcn < 0 && !current.sparse) result_.complete = false;
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
                if (run.sparse) entry.state = 0;
                else if (readable(run, intoRun, 1)) entry = {1, static_cast<uint64_t>(run.lcn) + intoRun};
                else entry.state = 2;
                clusters.push_back(entry);
                if (++intoRun == run.length) {
                    ++runIndex;
                    intoRun = 0;
                }
            }
            copyUnit(unitStart, clusters, compressed, unit);
            unitVcn += clusters.size();
        }
    }

    void copyUnit(uint64_t unitStart, const std::vector<UnitCluster>& clusters, std::vector<uint8_t>& compressed,
                  std::vector<uint8_t>& unit) {
        const uint64_t cluster = volume_.clusterBytes;
        // The compressed bytes fill the unit's leading clusters; the holes after them pad it.
        size_t stored = 0;
        size_t dataClusters = 0;
        for (size_t k = 0; k < clusters.size(); ++k) {
            if (clusters[k].state == 0) continue;
            ++stored;
            dataClusters = k + 1;
        }
        if (stored == 0) return;  // a unit of holes is zeros
        // Contiguous allocated clusters are read together.
        std::memset(compressed.data(), 0, compressed.size());
        for (size_t k = 0; k < clusters.size();) {
            if (clusters[k].state == 2) result_.complete = false;
            if (clusters[k].state != 1) {
                ++k;
                continue;
            }
            size_t end = k + 1;
            while (end < clusters.size() && clusters[end].state == 1 && clusters[end].lcn == clusters[k].lcn + (end - k)) ++end;
            readClusters(clusters[k].lcn, compressed.data() + k * cluster, (end - k) * cluster);
            k = end;
        }
        if (stored == clusters.size()) {
            // No hole in the unit: NTFS stored it uncompressed.
            emit(unitStart, compressed.data(), clusters.size() * cluster);
            return;
        }
        std::memset(unit.data(), 0, unit.size());
        const auto decoded = decompressLznt1(std::span<const uint8_t>(compressed.data(), dataClusters * cluster), unit);
        if (decoded.damaged) result_.complete = false;
        emit(unitStart, unit.data(), unit.size());
    }

    const image::DeviceSlice& device_;
    const VolumeGeometry& volume_;
    const DataStream& stream_;
    const DataSink& sink_;
    StreamCopyResult result_;
    std::vector<uint8_t> buffer_;
};

}  // namespace

uint64_t DataStream::outputLength(uint64_t clusterBytes) const {
    if (resident) return residentBytes.size();
    return std::min(realSize, saturatingMul(totalClusters(runs), clusterBytes));
}

StreamCopyResult copyDataStream(const image::DeviceSlice& device, const VolumeGeometry& volume,
                                const DataStream& stream, const DataSink& sink) {
    return StreamCopier(device, volume, stream, sink).run();
}

}  // namespace vdrec::fs::ntfs
