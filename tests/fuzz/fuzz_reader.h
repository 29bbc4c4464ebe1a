#pragma once
// Shared body of the reader fuzz targets: open the bytes as an image of one kind, then read at
// the start, at positions taken from the input, and at the end of the disk the header claims.

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/image_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"

namespace vdrec::fuzz {

template <typename Reader>
int fuzzReader(const uint8_t* data, size_t size, const char* name) {
    image::WizardState state;
    platform::RecordingSink sink;
    Reader reader(state, sink);
    std::vector<uint8_t> bytes(data, data + size);
    if (!reader.openSource(name, std::make_unique<platform::MemorySource>(std::move(bytes)))) return 0;

    std::vector<uint8_t> buffer(64 * 1024);
    reader.readAt(0, buffer.data(), static_cast<uint32_t>(buffer.size()));
    for (size_t k = 0; k + 8 <= size && k < 64; k += 8) {
        uint64_t position = 0;
        std::memcpy(&position, data + k, sizeof position);
        reader.readAt(static_cast<int64_t>(position % (1ull << 50)), buffer.data(), 4096);
    }
    if (state.totalSectors > 0 && state.totalSectors < (1ull << 50))
        reader.readAt(static_cast<int64_t>((state.totalSectors - 1) * 512), buffer.data(), 1024);
    reader.seek(-512, image::ImageReader::FromEnd);
    reader.readNext(buffer.data(), 512);
    return 0;
}

}  // namespace vdrec::fuzz
