#include "volumes/volume_scan.h"

#include "image/image_kind.h"
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
    if (options.advanced) {
        partition.skipFoundVolumes = !options.doNotSkip;
        partition.firstSector = options.rangeFirst;
        partition.lastSector = options.rangeLast;
        partition.scanSignatures(*state.reader, records);
    } else {
        partition.gptDisk = options.gptDisk;
        partition.scanTables(*state.reader, records);
    }
    for (size_t k = 0; k < records.size(); ++k) records[k].label = platform::format("%zu", k);
    return records;
}

}  // namespace vdrec::volumes
