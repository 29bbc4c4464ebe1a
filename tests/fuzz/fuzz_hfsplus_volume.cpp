// The HFS+ parser over an in-memory volume: the standard scan through the volume header, then
// the deep scan of every block, each followed by the list texts and saving.

#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fs/hfsplus/hfsplus_adapter.h"
#include "fs/hfsplus/hfsplus_volume.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "fuzz_adapter_walk.h"

namespace {

void exercise(vdrec::fs::hfsplus::HfsPlusVolume& parser, const std::string& out) {
    using namespace vdrec;
    parser.linkEntries();
    fs::hfsplus::HfsPlusAdapter adapter(parser);
    fuzz::walkAdapter(adapter, out, 1u << 20);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    static const std::string out = "/tmp/vdrec-fuzz-hfsplus-" + std::to_string(::getpid());
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader(state, sink);
    if (!reader.openSource("volume.img", std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
        return 0;
    fs::hfsplus::HfsPlusVolume parser(sink);
    parser.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0));
    if (parser.readVolumeHeader() && parser.readExtentsOverflow() && parser.readCatalog()) exercise(parser, out);
    fs::hfsplus::HfsPlusVolume deep(sink);
    deep.attachVolume(vdrec::image::DeviceSlice::toEnd(reader, 0));
    deep.readVolumeHeader();
    if (deep.scanVolumeForNodes(size)) {
        deep.readFoundCatalogNodes();
        deep.readExtentsOverflow();
        exercise(deep, out);
    }
    return 0;
}
