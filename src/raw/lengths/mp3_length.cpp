// MP3: an optional ID3v2 tag (its size is syncsafe, plus a 10-byte footer when flagged), then MPEG audio
// frames whose headers give their lengths, then an optional 128-byte ID3v1 tag. The audio ends at the
// first bytes that are not a valid frame header.
#include "raw/lengths/measurers.h"

namespace vdrec::raw {

namespace {

constexpr uint64_t kId3v2HeaderSize = 10;
constexpr uint64_t kId3v1Size = 128;
// Without a tag to vouch for it, a lone frame header is too likely to be chance.
constexpr uint64_t kMinFramesWithoutTag = 2;

// kbit/s by [MPEG-1 ? 0 : 1][layer 1..3 - 1][index]; index 0 (free format) and 15 are not accepted.
constexpr uint16_t kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr uint32_t kSampleRates[3] = {44100, 48000, 32000};

// The length of the frame whose header is `h`, or 0 when it is not a valid header.
uint32_t frameLength(uint32_t h) {
    if ((h >> 21) != 0x7FF) return 0;
    const uint32_t version = (h >> 19) & 3;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1
    const uint32_t layer = (h >> 17) & 3;    // 1: layer III, 2: layer II, 3: layer I
    const uint32_t bitrateIndex = (h >> 12) & 15;
    const uint32_t rateIndex = (h >> 10) & 3;
    const uint32_t padding = (h >> 9) & 1;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return 0;
    const bool mpeg1 = version == 3;
    const uint32_t layerNumber = 4 - layer;
    const uint32_t bitrate = kBitrates[mpeg1 ? 0 : 1][layerNumber - 1][bitrateIndex] * 1000u;
    const uint32_t sampleRate = kSampleRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    if (layerNumber == 1) return (12 * bitrate / sampleRate + padding) * 4;
    // Layer III of MPEG-2 and 2.5 has half as many samples a frame.
    const uint32_t factor = layerNumber == 3 && !mpeg1 ? 72 : 144;
    return factor * bitrate / sampleRate + padding;
}

}  // namespace

std::optional<uint64_t> measureMp3(CandidateBuffer& in) {
    uint64_t position = 0;
    const auto start = in.at(0, kId3v2HeaderSize);
    if (!start) return std::nullopt;
    const bool tagged = start->matches(0, "ID3");
    if (tagged) {
        uint64_t size = 0;
        for (size_t k = 6; k < 10; ++k) {
            const uint8_t b = start->u8Or0(k);
            if (b & 0x80) return std::nullopt;
            size = (size << 7) | b;
        }
        if (start->u8Or0(3) == 0xFF || start->u8Or0(4) == 0xFF) return std::nullopt;
        const bool footer = start->u8Or0(5) & 0x10;
        position = kId3v2HeaderSize + size + (footer ? kId3v2HeaderSize : 0);
    }
    uint64_t frames = 0;
    // Writers may pad the ID3v2 tag with zeros beyond its size; a little of that is skipped.
    for (uint64_t padding = 0; padding < 4096; ++padding) {
        const auto b = in.at(position, 1);
        if (!b || b->u8Or0(0) != 0) break;
        ++position;
    }
    for (;;) {
        const auto header = in.at(position, 4);
        const uint32_t length = header ? frameLength(header->be32Or0(0)) : 0;
        if (length == 0 || length > in.limit() - position) break;
        position += length;
        ++frames;
    }
    if (frames < (tagged ? 1 : kMinFramesWithoutTag)) return std::nullopt;
    const auto tag = in.at(position, kId3v1Size);
    if (tag && tag->matches(0, "TAG")) position += kId3v1Size;
    return position;
}

}  // namespace vdrec::raw
