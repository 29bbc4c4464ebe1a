#include <algorithm>
#include <vector>

#include "platform/text_format.h"
#include "volumes/boot_sector.h"
#include "volumes/partition.h"

namespace vdrec::volumes {

namespace {

constexpr uint64_t kChunkSectors = 2048;  // 1 MiB per read
// HFS+ headers claiming 20 TiB or more are taken as noise.
constexpr uint64_t kHfsSizeLimitMegabytes = 20971520;

uint64_t saturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

}  // namespace

void Partition::scanSignatures(const image::BlockDevice& reader, std::vector<VolumeEntry>& records) {
    stopRequested = false;
    sink_.status("Scanning partition.....");
    sink_.progressRange(0, kProgressEnd);

    const uint64_t totalSectors = state_.totalSectors;
    const uint64_t lastByte = lastSector > 0 ? static_cast<uint64_t>(lastSector) * image::kSectorSize : 0;
    uint64_t current = firstSector > 0 ? static_cast<uint64_t>(firstSector) : 0;
    std::vector<uint8_t> chunk(kChunkSectors * image::kSectorSize);

    while (current < totalSectors && !stopRequested) {
        if (lastByte != 0 && current * image::kSectorSize > lastByte) break;
        // The last chunk of the disk may be shorter than 1 MiB; its sectors are examined too.
        const uint64_t sectors = std::min(kChunkSectors, totalSectors - current);
        if (!reader.readAt(static_cast<int64_t>(current * image::kSectorSize), chunk.data(),
                           static_cast<uint32_t>(sectors * image::kSectorSize)))
            break;

        uint64_t i = 0;
        for (; i < sectors && !stopRequested; ++i) {
            const std::span<const uint8_t, 512> sector(chunk.data() + i * image::kSectorSize, 512);
            const uint64_t position = current + i;
            uint64_t skip = 0;

            const BootSectorFind find = classifyBootSector(sector, NtfsCheck::WithOemName);
            if (find.kind != BootKind::None) {
                sink_.status(find.kind == BootKind::Ntfs ? findStatus(find.kind, ++ntfsCount_) : findStatus(find.kind, 0));
                if (find.kind != BootKind::FatUnknown && find.sizeBytes >= kMegabyte) {
                    const auto megabytes = static_cast<long long>(find.sizeBytes / kMegabyte);
                    append(records, fileSystemName(find.kind),
                           find.kind == BootKind::Ntfs ? platform::format("%lld   MB", megabytes)
                                                       : platform::format("%lld  MB", megabytes),
                           static_cast<int64_t>(position), find.sizeBytes / image::kSectorSize);
                    skip = find.sizeSectors;
                }
            } else if (auto hfsSize = hfsPlusHeaderSize(sector); hfsSize && position >= 2) {
                if (*hfsSize >= kMegabyte) {
                    sink_.status("found HFS+...");
                    if (*hfsSize / kMegabyte < kHfsSizeLimitMegabytes)
                        append(records, "HFS+", platform::format("%lld  MB", static_cast<long long>(*hfsSize / kMegabyte)),
                               static_cast<int64_t>(position - 2), *hfsSize / image::kSectorSize);
                    skip = *hfsSize / image::kSectorSize;
                }
            }
            if (skipFoundVolumes && skip != 0) i = saturatingAdd(i, skip);
            if (i >= UINT64_MAX - 1) break;
        }
        current = saturatingAdd(current, i);
        const double share = totalSectors == 0 ? 1.0 : static_cast<double>(std::min(current, totalSectors)) / totalSectors;
        sink_.progressPosition(static_cast<int64_t>(share * kProgressEnd));
    }
    if (stopRequested) sink_.status("Scanned Partitions");
}

}  // namespace vdrec::volumes
