#include <gtest/gtest.h>

#include "image/image_messages.h"
#include "image/vhd_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/patched_image.h"

namespace vdrec::image {
namespace {

constexpr size_t kMaxTableEntriesField = 512 + 28;

class VhdReaderTest : public test::PatchedImage<VhdReader> {
protected:
    void SetUp() override { load("pattern-dynamic.vhd", "disk.vhd"); }
};

TEST_F(VhdReaderTest, LoadsTheBlockTableAndTheFooterSize) {
    ASSERT_TRUE(openPatched());
    EXPECT_EQ(state_.totalSectors, 131072u);
    ASSERT_EQ(reader_->blockMapCount, 32u);
    EXPECT_EQ(reader_->blockMap[0], 4u);
    EXPECT_EQ(reader_->blockMap[1], kVhdUnallocated);
    EXPECT_EQ(reader_->blockMap[4], 4101u);
}

TEST_F(VhdReaderTest, TypedTableLengthLimitsWhatCanBeSought) {
    state_.enteredTableEntries = 8;
    ASSERT_TRUE(openPatched());
    EXPECT_EQ(reader_->blockMapCount, 8u);
    EXPECT_TRUE(reader_->seek(8ll * kVhdBlockBytes - 512));
    EXPECT_FALSE(reader_->seek(8ll * kVhdBlockBytes));
}

TEST_F(VhdReaderTest, TypedDiskSizeWinsOverTheFooter) {
    state_.enteredDiskSize = 512ull << 20;
    ASSERT_TRUE(openPatched());
    EXPECT_EQ(state_.totalSectors, 1048576u);
}

TEST_F(VhdReaderTest, UnallocatedAndMissingBlocksReadAsZeros) {
    // Block 4 now points far past the end of the file.
    test::putBe32(image_, kVhdTableOffset + 4 * 4, 0x7FFFFFFF);
    ASSERT_TRUE(openPatched());
    std::vector<uint8_t> sectors(8 * 512, 0xCC);
    EXPECT_TRUE(reader_->readAt(4ll * kVhdBlockBytes, sectors.data(), static_cast<uint32_t>(sectors.size())));
    EXPECT_TRUE(std::all_of(sectors.begin(), sectors.end(), [](uint8_t b) { return b == 0; }));
    // Sectors 4092..4099: the end of block 0 (zeros there in this image) then unallocated block 1.
    std::fill(sectors.begin(), sectors.end(), 0xCC);
    EXPECT_TRUE(reader_->readAt(4092ll * 512, sectors.data(), static_cast<uint32_t>(sectors.size())));
    EXPECT_TRUE(std::all_of(sectors.begin(), sectors.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(VhdReaderTest, RefusesATableLargerThanTheFile) {
    test::putBe32(image_, kMaxTableEntriesField, 0xFFFFFFFF);
    EXPECT_FALSE(openPatched());
    EXPECT_EQ(sink_.messages(), std::vector<std::string>{std::string(kHeaderTooLargeMessage)});
}

TEST_F(VhdReaderTest, BlocksCutOffByTruncationReadAsZeros) {
    image_.resize(kVhdTableOffset + 512);
    ASSERT_TRUE(openPatched());
    EXPECT_EQ(reader_->blockMapCount, 32u);
    std::vector<uint8_t> sector(512, 0xCC);
    EXPECT_TRUE(reader_->readAt(4ll * kVhdBlockBytes, sector.data(), 512));
    EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(VhdReaderTest, HeaderCutShortLeavesNothingToRead) {
    image_.resize(700);
    test::putBe32(image_, kMaxTableEntriesField, 0);
    ASSERT_TRUE(openPatched());
    EXPECT_EQ(reader_->blockMapCount, 0u);
    uint8_t sector[512];
    EXPECT_FALSE(reader_->readAt(0, sector, 512));
}

TEST_F(VhdReaderTest, OpensWhateverTheFileIsCalled) {
    for (const char* name : {"DISK.VHD", "disk.bin", "disk.img", "disk"}) {
        platform::RecordingSink sink;
        test::writeFile(dir_.file(name), image_);
        VhdReader reader(state_, sink);
        EXPECT_TRUE(reader.open(dir_.file(name))) << name;
        EXPECT_TRUE(sink.messages().empty()) << name;
    }
}

TEST_F(VhdReaderTest, MissingFileShowsInvalidHandle) {
    VhdReader reader(state_, sink_);
    EXPECT_FALSE(reader.open(dir_.file("absent.vhd")));
    EXPECT_EQ(sink_.messages(), std::vector<std::string>{"Invalid handle."});
}

}  // namespace
}  // namespace vdrec::image
