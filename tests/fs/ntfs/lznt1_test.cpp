#include <gtest/gtest.h>

#include <string>

#include "fs/ntfs/lznt1.h"

namespace vdrec::fs::ntfs {
namespace {

std::vector<uint8_t> chunk(bool compressed, const std::vector<uint8_t>& body) {
    const uint16_t header = uint16_t((compressed ? 0xB000 : 0x3000) | (body.size() + 2 - 3));
    std::vector<uint8_t> out{uint8_t(header), uint8_t(header >> 8)};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> bytesOf(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(Lznt1, DecodesLiteralsAndBackReferences) {
    // "abc" then a reference 3 back of length 6.
    const auto input = chunk(true, {0x08, 'a', 'b', 'c', 0x03, 0x20});
    std::vector<uint8_t> output(9);
    const auto result = decompressLznt1(input, output);
    EXPECT_FALSE(result.damaged);
    EXPECT_EQ(std::string(output.begin(), output.end()), "abcabcabc");
}

TEST(Lznt1, CopiesAChunkWithItsCompressedBitClearAsStored) {
    // Stored chunks shorter than 4096 bytes are data too, not tokens.
    const auto input = chunk(false, bytesOf("0123456789"));
    std::vector<uint8_t> output(10, 0xEE);
    const auto result = decompressLznt1(input, output);
    EXPECT_FALSE(result.damaged);
    EXPECT_EQ(std::string(output.begin(), output.end()), "0123456789");
}

TEST(Lznt1, KeepsEachChunkAtItsOwnFourKilobytes) {
    auto input = chunk(true, {0x00, 'a', 'b', 'c'});
    const auto second = chunk(false, bytesOf("xyz"));
    input.insert(input.end(), second.begin(), second.end());
    std::vector<uint8_t> output(8192, 0xEE);
    decompressLznt1(input, output);
    EXPECT_EQ(std::string(output.begin(), output.begin() + 3), "abc");
    EXPECT_TRUE(std::all_of(output.begin() + 3, output.begin() + 4096, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(std::string(output.begin() + 4096, output.begin() + 4099), "xyz");
}

TEST(Lznt1, StopsAtDamageWithoutReadingOrWritingOutOfBounds) {
    struct Case {
        const char* what;
        std::vector<uint8_t> input;
        std::string kept;
    } cases[] = {
        {"reference before the chunk start", chunk(true, {0x02, 'a', 0x00, 0x40}), "a"},
        {"reference as the first token", chunk(true, {0x01, 0x00, 0x00}), ""},
        {"token cut short", chunk(true, {0x02, 'a', 0x00}), "a"},
        {"chunk longer than the input", {0x10, 0xB0, 0x00, 'a'}, ""},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> output(16, 0xEE);
        const auto result = decompressLznt1(c.input, output);
        EXPECT_TRUE(result.damaged) << c.what;
        EXPECT_EQ(std::string(output.begin(), output.begin() + c.kept.size()), c.kept) << c.what;
    }
}

TEST(Lznt1, NeverWritesPastTheOutput) {
    // A reference whose length runs past the capacity is cut there.
    const auto input = chunk(true, {0x08, 'a', 'b', 'c', 0xFF, 0x2F});
    std::vector<uint8_t> output(5);
    decompressLznt1(input, output);
    EXPECT_EQ(std::string(output.begin(), output.end()), "abcab");
}

}  // namespace
}  // namespace vdrec::fs::ntfs
