// The table walks and the signature scan over an in-memory raw disk.

#include <cstdint>
#include <vector>

#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "volumes/partition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    for (int mode = 0; mode < 3; ++mode) {
        image::WizardState state;
        platform::RecordingSink sink;
        image::RawReader reader(state, sink);
        if (!reader.openSource("disk.img",
                               std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
            return 0;
        volumes::Partition partition(state, sink);
        partition.gptDisk = mode == 1;
        partition.skipFoundVolumes = size % 2 == 0;
        std::vector<volumes::VolumeEntry> records;
        if (mode == 2)
            partition.scanSignatures(reader, records);
        else
            partition.scanTables(reader, records);
    }
    return 0;
}
