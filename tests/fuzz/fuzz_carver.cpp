// The carving engine over arbitrary disk bytes: the first record-sized piece of the input is also
// read as a signature record, so that clamping of every field is exercised with the scan.

#include <cstdint>
#include <vector>

#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "raw/carver.h"
#include "raw/signature_record.h"

namespace {

vdrec::raw::SignatureRecord record(std::vector<uint8_t> start, std::vector<uint8_t> end, int32_t sizeOffset,
                                   int32_t sizeWidth, int64_t approx) {
    vdrec::raw::SignatureRecord r;
    r.extension = "bin";
    std::copy(start.begin(), start.end(), r.startSignature.begin());
    std::copy(end.begin(), end.end(), r.endSignature.begin());
    r.startLength = static_cast<uint8_t>(start.size());
    r.endLength = static_cast<uint8_t>(end.size());
    r.sizeFieldOffset = sizeOffset;
    r.sizeFieldWidth = sizeWidth;
    r.approximateSize = approx;
    r.category = "Fuzz";
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vdrec;
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader(state, sink);
    if (!reader.openSource("disk.img", std::make_unique<platform::MemorySource>(std::vector<uint8_t>(data, data + size))))
        return 0;
    std::vector<raw::SignatureRecord> records = {
        record({0xFF, 0xD8, 0xFF}, {0xFF, 0xD9}, -1, 0, 4096),
        record({'S', 'Z'}, {}, 2, 8, 0),
        record({0x2A, 'W'}, {}, -1, 0, 700),
        record({'E', 'N'}, {'D', 0x2A}, -1, 0, 0),
    };
    if (auto own = raw::decodeSignatureRecord(platform::asBytes(data, size))) records.push_back(*own);
    raw::Carver carver(reader);
    carver.addSignatures(records);
    carver.setArea(0, size);
    carver.run(sink);
    for (const raw::FoundFile& file : carver.foundFiles())
        if (file.start >= size || file.length > size - file.start) __builtin_trap();
    return 0;
}
