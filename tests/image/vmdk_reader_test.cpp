#include <gtest/gtest.h>

#include "image/image_messages.h"
#include "image/vmdk_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/patched_image.h"

namespace vdrec::image {
namespace {

TEST(VmdkDescriptor, ParsesExtentsAndGeometry) {
    const std::string text =
        "# Disk DescriptorFile\nversion=1\nCID=ac1f224b\nparentCID=ffffffff\ncreateType=\"monolithicSparse\"\n\n"
        "# Extent description\nRW 4192256 SPARSE \"disk.vmdk\"\n\n# The Disk Data Base\n#DDB\n\n"
        "ddb.geometry.cylinders = \"4161\"\nddb.geometry.heads = \"16\"\nddb.geometry.sectors = \"63\"\n";
    const auto descriptor = parseVmdkDescriptor(text);
    ASSERT_TRUE(descriptor);
    EXPECT_EQ(descriptor->version, "1");
    EXPECT_EQ(descriptor->cid, "ac1f224b");
    EXPECT_EQ(descriptor->createType, "monolithicSparse");
    ASSERT_EQ(descriptor->extents.size(), 1u);
    EXPECT_EQ(descriptor->extents[0].sectors, 4192256u);
    EXPECT_EQ(descriptor->extents[0].type, "SPARSE");
    EXPECT_EQ(descriptor->extents[0].fileName, "\"disk.vmdk");
    EXPECT_EQ(descriptor->totalSectors(), 4192256u);
    EXPECT_EQ(descriptor->cylinders, "4161");
    EXPECT_EQ(descriptor->heads, "16");
    EXPECT_EQ(descriptor->sectors, "63");
}

TEST(VmdkDescriptor, ReadsEveryExtentLine) {
    const std::string text =
        "version=1\nCID=1\nparentCID=ffffffff\ncreateType=\"twoGbMaxExtentSparse\"\n# Extent description\n"
        "RW 4000 SPARSE \"a.vmdk\"\nRW 96 SPARSE \"b.vmdk\"\n# The Disk Data Base\n";
    const auto descriptor = parseVmdkDescriptor(text);
    ASSERT_TRUE(descriptor);
    ASSERT_EQ(descriptor->extents.size(), 2u);
    EXPECT_EQ(descriptor->extents[1].sectors, 96u);
    EXPECT_EQ(descriptor->extents[1].fileName, "\"b.vmdk");
    EXPECT_EQ(descriptor->totalSectors(), 4096u);
}

TEST(VmdkDescriptor, ExtentsBeyondTheFirst512CharactersAreNotSeen) {
    const std::string text = "createType=\"monolithicSparse\"\n" + std::string(600, '#') +
                             "\n# Extent description\nRW 100 SPARSE \"x.vmdk\"\n# The Disk Data Base\n";
    const auto descriptor = parseVmdkDescriptor(text);
    ASSERT_TRUE(descriptor);
    EXPECT_TRUE(descriptor->extents.empty());
}

TEST(VmdkDescriptor, WithoutCreateTypeThereIsNoDescriptor) {
    EXPECT_FALSE(parseVmdkDescriptor("version=1\n# Extent description\nRW 100 SPARSE \"x\"\n"));
    EXPECT_FALSE(parseVmdkDescriptor("createType=\""));
}

class VmdkReaderTest : public test::PatchedImage<VmdkReader> {
protected:
    void SetUp() override { load("pattern.vmdk", "disk.vmdk"); }
};

TEST_F(VmdkReaderTest, ZeroedGrainEntryReadsAsZeros) {
    // Grain 128 holds stamps (sector 16384 on); its table is the redundant one at sector 22.
    const size_t entry = 22 * 512 + 128 * 4;
    ASSERT_GT(test::readFile(test::fixture("pattern.vmdk"))[entry], 0);
    test::putLe32(image_, entry, 1);
    ASSERT_TRUE(openPatched());
    std::vector<uint8_t> grain(128 * 512, 0xCC);
    EXPECT_TRUE(reader_->readAt(16384ll * 512, grain.data(), static_cast<uint32_t>(grain.size())));
    EXPECT_TRUE(std::all_of(grain.begin(), grain.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(VmdkReaderTest, MoreThan512GrainTableEntriesStayInBounds) {
    test::putLe32(image_, 44, 1024);
    ASSERT_TRUE(openPatched());
    std::vector<uint8_t> disk(64 << 20);
    reader_->readAt(0, disk.data(), static_cast<uint32_t>(disk.size()));
    EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(VmdkReaderTest, RefusesGrainTablesLargerThanTheFile) {
    test::putLe32(image_, 44, 0x40000000);
    EXPECT_FALSE(openPatched());
    EXPECT_EQ(sink_.messages(), std::vector<std::string>{std::string(kHeaderTooLargeMessage)});
}

TEST_F(VmdkReaderTest, ZeroGrainSizeIsRefused) {
    test::putLe64(image_, 20, 0);
    EXPECT_FALSE(openPatched());
}

TEST_F(VmdkReaderTest, WithoutMagicNothingCanBeRead) {
    image_[0] = 'X';
    ASSERT_TRUE(openPatched());
    uint8_t sector[512];
    EXPECT_FALSE(reader_->readAt(0, sector, 512));
}

}  // namespace
}  // namespace vdrec::image
