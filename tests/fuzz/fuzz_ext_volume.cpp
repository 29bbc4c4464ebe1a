// The ext parser over an in-memory volume: superblock search, descriptors, inode tables,
// directories, list texts and saving.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/ext/ext_adapter.h"
#include "fs/ext/ext_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "fuzz_adapter_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    static const std::string out = "/tmp/vdrec-fuzz-ext-" + std::to_string(::getpid());
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader(state, sink);
    if (!reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
        return 0;
    fs::ext::ExtVolume parser(sink);
    parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), uint64_t{1} << 20);
    if (!parser.findSuperblock() || !parser.loadGroupDescriptors()) return 0;
    parser.readInodeTables();
    parser.readDirectories();
    parser.keepNamedRecords();
    parser.linkRecords();
    fs::ext::ExtAdapter adapter(parser);
    fuzz::walkAdapter(adapter, out);
    return 0;
}
