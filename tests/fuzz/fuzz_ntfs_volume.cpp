// The NTFS parser over an in-memory volume: MFT location, records, tree, list texts and saving.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/ntfs/ntfs_volume.h"
#include "fs/ntfs/ntfs_adapter.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "fuzz_adapter_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader(state, sink);
    if (!reader.openSource("volume.img",
                           std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
        return 0;
    fs::ntfs::NtfsVolume parser(sink);
    parser.bind(vdrec::image::DeviceSlice::toEnd(reader, 0), uint64_t{1} << 20);
    parser.readBootSector();
    parser.locateMft();
    parser.collectMftRecords();
    parser.parseAllRecords();
    fs::ntfs::NtfsAdapter adapter(parser);
    static const std::string out = "/tmp/vdrec-fuzz-ntfs-" + std::to_string(::getpid());
    fuzz::walkAdapter(adapter, out);
    return 0;
}
