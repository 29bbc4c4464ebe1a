#include <gtest/gtest.h>

#include "image/image_messages.h"
#include "image/vdi_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/patched_image.h"

namespace vdrec::image {
namespace {

constexpr size_t kBlockMapOffset = 512;  // in pattern.vdi
constexpr uint64_t kBlockBytes = 1 << 20;

class VdiReaderTest : public test::PatchedImage<VdiReader> {
protected:
    void SetUp() override { load("pattern.vdi", "disk.vdi"); }
};

TEST_F(VdiReaderTest, ZeroBlocksReadAsZeros) {
    // Block 8 holds stamped sectors in the fixture; marked as a zero block it must read as zeros.
    test::putLe32(image_, kBlockMapOffset + 8 * 4, kVdiZeroBlock);
    ASSERT_TRUE(openPatched());
    std::vector<uint8_t> block(kBlockBytes, 0xCC);
    EXPECT_TRUE(reader_->readAt(8 * kBlockBytes, block.data(), static_cast<uint32_t>(block.size())));
    EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0; }));
    // The cursor says such a position holds no stored data.
    ASSERT_TRUE(reader_->seek(8 * kBlockBytes));
    EXPECT_FALSE(reader_->mapped);
}

TEST_F(VdiReaderTest, HeaderWithoutAllocatedBlocksFailsSilently) {
    test::putLe32(image_, 388, 0);
    EXPECT_FALSE(openPatched());
    EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(VdiReaderTest, TotalSectorsFollowTheHeaderNotTheTypedSize) {
    state_.enteredDiskSize = 8ull << 20;
    ASSERT_TRUE(openPatched());
    EXPECT_EQ(state_.totalSectors, 131072u);
}

TEST_F(VdiReaderTest, RefusesABlockMapLargerThanTheFile) {
    test::putLe32(image_, 384, 0x40000000);
    EXPECT_FALSE(openPatched());
    EXPECT_EQ(sink_.messages(), std::vector<std::string>{std::string(kHeaderTooLargeMessage)});
}

TEST_F(VdiReaderTest, PositionsBeyondTheBlockMapFailToSeek) {
    ASSERT_TRUE(openPatched());
    EXPECT_TRUE(reader_->seek(63 * kBlockBytes));
    EXPECT_FALSE(reader_->seek(64 * kBlockBytes));
}

}  // namespace
}  // namespace vdrec::image
