// The exFAT parser over an in-memory volume: boot sector, walk, list texts and saving, then the
// anchor searches and the advanced rebuild.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/exfat/exfat_adapter.h"
#include "fs/exfat/exfat_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "fuzz_adapter_walk.h"

namespace {

void exercise(vdrec::fs::exfat::ExfatVolume& parser, const std::string& out) {
    using namespace vdrec;
    fs::exfat::ExfatAdapter adapter(parser);
    fuzz::walkAdapter(adapter, out, 1u << 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    static const std::string out = "/tmp/vdrec-fuzz-exfat-" + std::to_string(::getpid());
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader(state, sink);
    if (!reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
        return 0;
    fs::exfat::ExfatVolume parser(sink);
    parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), uint64_t{1} << 20);
    if (parser.checkBootSector()) {
        parser.walkRootDirectory();
        parser.linkChildren();
        exercise(parser, out);
    }
    fs::exfat::ExfatVolume damaged(sink);
    damaged.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0), uint64_t{1} << 20);
    damaged.checkBootSector();
    if (damaged.findFatAnchors(2) > 0 && damaged.findHeapAnchors(2) > 0 &&
        damaged.prepareAdvanced(damaged.fatAnchors()[0], damaged.heapAnchors()[0], static_cast<int>(size % 8))) {
        damaged.scanForCandidates();
        damaged.buildFromCandidates();
        damaged.linkChildren();
        exercise(damaged, out);
    }
    return 0;
}
