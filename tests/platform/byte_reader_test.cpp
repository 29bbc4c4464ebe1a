#include "platform/byte_reader.h"

#include <gtest/gtest.h>

#include "platform/text_format.h"

namespace vdrec::platform {
namespace {

const uint8_t kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

TEST(ByteReader, DecodesBothByteOrders) {
    const ByteReader in(asBytes(kBytes, sizeof kBytes));
    EXPECT_EQ(in.le16(0), 0x0201);
    EXPECT_EQ(in.be16(0), 0x0102);
    EXPECT_EQ(in.le32(4), 0x08070605u);
    EXPECT_EQ(in.be32(4), 0x05060708u);
    EXPECT_EQ(in.le64(0), 0x0807060504030201ull);
    EXPECT_EQ(in.be64(0), 0x0102030405060708ull);
}

TEST(ByteReader, RefusesEveryReadThatWouldCrossTheEnd) {
    const ByteReader in(asBytes(kBytes, sizeof kBytes));
    EXPECT_FALSE(in.le16(7));
    EXPECT_FALSE(in.le32(5));
    EXPECT_FALSE(in.le64(1));
    EXPECT_FALSE(in.u8(8));
    EXPECT_FALSE(in.text(4, 5));
    EXPECT_FALSE(in.sub(SIZE_MAX, 2));
    EXPECT_FALSE(in.matches(6, "abc"));
    EXPECT_EQ(in.le32Or0(6), 0u);
}

TEST(ByteReader, CheckedArithmeticReportsOverflow) {
    EXPECT_EQ(checkedMul(1ull << 31, 1ull << 31), 1ull << 62);
    EXPECT_FALSE(checkedMul(1ull << 32, 1ull << 32));
    EXPECT_FALSE(checkedAdd(UINT64_MAX, 1));
}

TEST(TextFormat, WidensUtf16NamesUpToTheFirstNul) {
    const uint8_t name[] = {'E', 0, 'F', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0, 0, 'X', 0};
    EXPECT_EQ(utf16leToUtf8(name, 7), "EF\xC3\xA9\xF0\x9F\x98\x80");
    const uint8_t lone[] = {0x00, 0xD8, 'a', 0};
    EXPECT_EQ(utf16leToUtf8(lone, 2), "\xEF\xBF\xBD" "a");
}

}  // namespace
}  // namespace vdrec::platform
