// The FAT16 and FAT32 parser over an in-memory volume: boot sector, walk, list texts and
// saving, then the anchor search and the advanced rebuild.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/fat/fat_adapter.h"
#include "fs/fat/fat_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "fuzz_adapter_walk.h"

namespace {

void exercise(vdrec::fs::fat::FatVolume& parser, const std::string& out) {
    using namespace vdrec;
    fs::fat::FatAdapter adapter(parser);
    fuzz::walkAdapter(adapter, out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    static const std::string out = "/tmp/vdrec-fuzz-fat-" + std::to_string(::getpid());
    for (auto type : {fs::fat::FatType::Fat16, fs::fat::FatType::Fat32}) {
        image::WizardState state;
        platform::RecordingSink sink;
        image::RawReader reader(state, sink);
        if (!reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
            return 0;
        fs::fat::FatVolume parser(type, sink);
        parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), uint64_t{1} << 20);
        if (parser.checkBootSector()) {
            parser.loadFat();
            parser.loadRootDirectory();
            parser.walkRootDirectory();
            parser.linkChildren();
            exercise(parser, out);
        }
        fs::fat::FatVolume damaged(type, sink);
        damaged.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), uint64_t{1} << 20);
        if (damaged.findFatAnchors(2) > 0 && damaged.prepareAdvanced(0, 1 + size % 8)) {
            damaged.scanForCandidates();
            damaged.buildFromCandidates();
            damaged.linkChildren();
            exercise(damaged, out);
        }
    }
    return 0;
}
