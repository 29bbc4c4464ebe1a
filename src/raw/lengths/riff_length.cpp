// RIFF (AVI, WAV): the chunk size after "RIFF" plus its 8-byte header, and a pad byte when the size is odd.
// AVI files past 1 GiB continue in further "RIFF....AVIX" chunks right behind the first.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

// Offset past the RIFF chunk of form `form` at `position`, or nullopt when there is none.
std::optional<uint64_t> riffEnd(CandidateBuffer& in, uint64_t position, std::string_view form) {
    const auto header = in.at(position, 12);
    if (!header || !header->matches(0, "RIFF") || !header->matches(8, form)) return std::nullopt;
    const uint32_t size = header->le32Or0(4);
    if (size < 4) return std::nullopt;
    const uint64_t end = position + 8 + size;
    if (end > in.limit()) return std::nullopt;
    // The pad byte is counted only where it is there to be counted.
    return (size & 1) && end < in.limit() ? end + 1 : end;
}

}  // namespace

std::optional<uint64_t> measureWav(CandidateBuffer& in) { return riffEnd(in, 0, "WAVE"); }

std::optional<uint64_t> measureAvi(CandidateBuffer& in) {
    std::optional<uint64_t> end = riffEnd(in, 0, "AVI ");
    if (!end) return std::nullopt;
    for (;;) {
        const std::optional<uint64_t> extension = riffEnd(in, *end, "AVIX");
        if (!extension) return end;
        end = extension;
    }
}

}  // namespace vdrec::raw
