// JPEG: segments from SOI follow each other by their lengths up to a start of scan; the entropy-coded data
// after it runs to the next marker that is neither a stuffed FF 00 nor a restart marker. Progressive and
// multi-scan files carry more tables and scans after that marker; EOI ends the file. An EXIF thumbnail is
// a whole JPEG inside an APP1 segment, so walking segments by length steps over its EOI.
#include <cstring>

#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;

bool isRestart(uint8_t marker) { return marker >= 0xD0 && marker <= 0xD7; }

// Markers that carry a length: every one from C0 to FE except the restart markers, SOI and EOI.
bool hasSegment(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xFE && !isRestart(marker) && marker != kSoi && marker != kEoi;
}

// Offset of the marker byte (after the FF) that ends the entropy data starting at `position`, or nullopt.
std::optional<uint64_t> endOfEntropyData(CandidateBuffer& in, uint64_t position) {
    bool afterFf = false;
    for (;;) {
        const platform::Bytes bytes = in.from(position);
        if (bytes.empty()) return std::nullopt;
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        size_t k = 0;
        if (!afterFf) {
            const void* ff = memchr(data, 0xFF, bytes.size());
            if (ff == nullptr) {
                position += bytes.size();
                continue;
            }
            k = static_cast<size_t>(static_cast<const uint8_t*>(ff) - data) + 1;
            afterFf = true;
            if (k == bytes.size()) {
                position += k;
                continue;
            }
        }
        const uint8_t next = data[k];
        afterFf = false;
        if (next != 0x00 && !isRestart(next) && next != 0xFF) return position + k;
        // FF FF is fill before a marker: the second FF may start it.
        if (next == 0xFF) afterFf = true;
        position += k + 1;
    }
}

}  // namespace

std::optional<uint64_t> measureJpeg(CandidateBuffer& in) {
    const auto start = in.at(0, 3);
    if (!start || start->u8Or0(0) != 0xFF || start->u8Or0(1) != kSoi || start->u8Or0(2) != 0xFF) return std::nullopt;
    uint64_t position = 2;  // at an FF that starts a marker
    bool sawScan = false;
    bool sawFrame = false;
    for (;;) {
        // Fill bytes: any number of FF before the marker code.
        const auto code = in.at(position + 1, 1);
        if (!code) return std::nullopt;
        const uint8_t marker = code->u8Or0(0);
        if (marker == 0xFF) {
            ++position;
            continue;
        }
        if (marker == kEoi) return sawScan && sawFrame ? std::optional<uint64_t>(position + 2) : std::nullopt;
        if (!hasSegment(marker)) return std::nullopt;
        const auto length = in.at(position + 2, 2);
        if (!length || length->be16Or0(0) < 2) return std::nullopt;
        // Start of frame: C0 to CF except DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) sawFrame = true;
        const uint64_t segmentEnd = position + 2 + length->be16Or0(0);
        if (marker != kSos) {
            const auto next = in.at(segmentEnd, 1);
            if (!next || next->u8Or0(0) != 0xFF) return std::nullopt;
            position = segmentEnd;
            continue;
        }
        if (!sawFrame) return std::nullopt;
        sawScan = true;
        const std::optional<uint64_t> markerAt = endOfEntropyData(in, segmentEnd);
        if (!markerAt) return std::nullopt;
        position = *markerAt - 1;
    }
}

}  // namespace vdrec::raw
