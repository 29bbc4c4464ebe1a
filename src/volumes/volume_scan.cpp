#include "volumes/volume_scan.h"

#include <algorithm>

#include "fs/registry.h"
#include "image/image_kind.h"
#include "image/image_reader.h"
#include "platform/text_format.h"

namespace vdrec::volumes {

bool provideReader(image::WizardState& state, platform::UiSink& sink) {
    state.reader = image::makeReader(state.imageKind, state, sink);
    if (!state.reader) {
        sink.message("Information lost ..go back and parse again");
        return false;
    }
    if (!state.reader->open(state.imagePath)) {
        sink.message("file not opened..");
        return false;
    }
    return true;
}

std::optional<std::vector<VolumeEntry>> scanVolumes(image::WizardState& state, platform::UiSink& sink,
                                                    const ScanOptions& options, Partition* scanner) {
    if (!provideReader(state, sink)) return std::nullopt;
    Partition ownScanner(state, sink);
    Partition& partition = scanner != nullptr ? *scanner : ownScanner;
    std::vector<VolumeEntry> records;
    // What a volume holds is told by its content: a table's type or name may say nothing ("Linux
    // filesystem") or the wrong thing. A volume that matches no file system keeps its table's name.
    const image::BlockDevice& disk = *state.reader;
    const uint64_t totalSectors = state.totalSectors;
    partition.identify = [&disk, totalSectors](VolumeEntry& volume) {
        if (volume.startSector < 0 || static_cast<uint64_t>(volume.startSector) >= totalSectors) return;
        const uint64_t start = static_cast<uint64_t>(volume.startSector);
        const uint64_t sectors = volume.sectorCount != 0 ? std::min(volume.sectorCount, totalSectors - start)
                                                         : totalSectors - start;
        const image::DeviceSlice slice(disk, start * image::kSectorSize, sectors * image::kSectorSize);
        const fs::FileSystem found = fs::probeFileSystem(slice);
        if (found != fs::FileSystem::None && fs::fileSystemNamed(volume.fileSystem) != found)
            volume.fileSystem = std::string(fs::fileSystemName(found));
    };
    if (options.advanced) {
        partition.skipFoundVolumes = !options.doNotSkip;
        partition.firstSector = options.rangeFirst;
        partition.lastSector = options.rangeLast;
        partition.scanSignatures(*state.reader, records);
    } else {
        partition.gptDisk = options.gptDisk;
        partition.scanTables(*state.reader, records);
    }
    partition.identify = nullptr;
    for (size_t k = 0; k < records.size(); ++k) records[k].label = platform::format("%zu", k);
    return records;
}

}  // namespace vdrec::volumes
