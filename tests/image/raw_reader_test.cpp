#include <gtest/gtest.h>

#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::image {
namespace {

using test::TempDir;

std::vector<uint8_t> numberedSectors(size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (size_t k = 0; k < bytes; ++k) data[k] = static_cast<uint8_t>(k / 512 + k);
    return data;
}

TEST(RawReader, TotalSectorsFollowFileLengthOrTypedDiskSize) {
    TempDir dir;
    test::writeFile(dir.file("disk.img"), std::vector<uint8_t>(10485760));
    struct Case {
        uint64_t enteredDiskSize;
        uint64_t expected;
    } cases[] = {{0, 20480}, {8 * 1024 * 1024, 16384}};
    for (const auto& c : cases) {
        WizardState state;
        state.enteredDiskSize = c.enteredDiskSize;
        platform::RecordingSink sink;
        RawReader reader(state, sink);
        ASSERT_TRUE(reader.open(dir.file("disk.img")));
        EXPECT_EQ(state.totalSectors, c.expected);
        EXPECT_EQ(reader.fileLength, 10485760);
    }
}

TEST(RawReader, PartialLastSectorReadsAsBytesThenZerosAndFails) {
    TempDir dir;
    const auto data = numberedSectors(1024 + 100);
    test::writeFile(dir.file("odd.img"), data);
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    ASSERT_TRUE(reader.open(dir.file("odd.img")));
    EXPECT_EQ(state.totalSectors, 2u);

    std::vector<uint8_t> sector(512, 0xAA);
    EXPECT_FALSE(reader.readAt(1024, sector.data(), 512));
    EXPECT_TRUE(std::equal(data.begin() + 1024, data.end(), sector.begin()));
    EXPECT_TRUE(std::all_of(sector.begin() + 100, sector.end(), [](uint8_t b) { return b == 0; }));

    // Wholly past the end: zeros, not what the buffer held before.
    std::fill(sector.begin(), sector.end(), 0xAA);
    EXPECT_FALSE(reader.readAt(4096, sector.data(), 512));
    EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0; }));
}

TEST(RawReader, SliceReadsItsVolumeFromItsFirstByte) {
    TempDir dir;
    const auto data = numberedSectors(2 * 1048576);
    test::writeFile(dir.file("disk.img"), data);
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    ASSERT_TRUE(reader.open(dir.file("disk.img")));
    const DeviceSlice volume(reader, 1048576, 4096);
    std::vector<uint8_t> sector(512);
    ASSERT_TRUE(volume.readAt(0, sector.data(), 512));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), data.begin() + 1048576));
    // Nothing past the slice is read: the part outside is zeros and the read says so.
    std::vector<uint8_t> across(1024, 0xAA);
    const ReadResult result = volume.read(3584, across.data(), across.size());
    EXPECT_EQ(result.error, ReadResult::Error::PastEnd);
    EXPECT_EQ(result.bytes, 512u);
    EXPECT_TRUE(std::equal(across.begin(), across.begin() + 512, data.begin() + 1048576 + 3584));
    EXPECT_TRUE(std::all_of(across.begin() + 512, across.end(), [](uint8_t b) { return b == 0; }));
    // The cursor the first page uses continues where its last read ended.
    ASSERT_TRUE(reader.seek(1048576));
    ASSERT_TRUE(reader.readNext(sector.data(), 512));
    ASSERT_TRUE(reader.readNext(sector.data(), 512));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), data.begin() + 1048576 + 512));
}

TEST(RawReader, ReadPastTheImageIsNeverComplete) {
    TempDir dir;
    test::writeFile(dir.file("disk.img"), numberedSectors(4096));
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    ASSERT_TRUE(reader.open(dir.file("disk.img")));
    EXPECT_EQ(reader.size(), 4096u);
    std::vector<uint8_t> bytes(1024, 0xAA);
    const ReadResult result = reader.read(3584, bytes.data(), bytes.size());
    EXPECT_EQ(result.error, ReadResult::Error::PastEnd);
    EXPECT_EQ(result.bytes, 512u);
    EXPECT_TRUE(std::all_of(bytes.begin() + 512, bytes.end(), [](uint8_t b) { return b == 0; }));
    // A slice that starts past the end holds nothing.
    EXPECT_EQ(DeviceSlice::toEnd(reader, 8192).size(), 0u);
    EXPECT_FALSE(DeviceSlice().readAt(0, bytes.data(), 512));
}

TEST(RawReader, NearbyReadsGiveWhatPositionedReadsGive) {
    TempDir dir;
    // Three pieces and a bit: the last piece reaches past the end of the image.
    const auto data = numberedSectors(3 * BlockDevice::kNearbyPieceBytes + 1024);
    test::writeFile(dir.file("disk.img"), data);
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    ASSERT_TRUE(reader.open(dir.file("disk.img")));
    const uint64_t piece = BlockDevice::kNearbyPieceBytes;
    struct Case {
        uint64_t offset;
        uint32_t count;
    } cases[] = {
        {0, 1024},               {1024, 256}, {piece - 512, 1024},  // across two pieces
        {piece, 512},            {512, 1024}, {3 * piece, 1024},    // the last, short piece
        {3 * piece + 512, 1024},  // partly past the end
        {UINT64_MAX - 511, 512},
    };
    for (const uint64_t base : {uint64_t{0}, uint64_t{512}}) {
        const DeviceSlice volume = DeviceSlice::toEnd(reader, base);
        for (const Case& c : cases) {
            std::vector<uint8_t> expected(c.count, 0xAA), got(c.count, 0x55);
            const bool expectedRead = volume.readAt(c.offset, expected.data(), c.count);
            const bool gotRead = volume.readNearby(c.offset, got.data(), c.count);
            EXPECT_EQ(gotRead, expectedRead) << "offset " << c.offset << " base " << base;
            if (expectedRead) {
                EXPECT_EQ(got, expected) << "offset " << c.offset << " base " << base;
            }
        }
    }
    // Slices of one device share its pieces, each at its own offsets.
    std::vector<uint8_t> sector(512);
    ASSERT_TRUE(DeviceSlice::toEnd(reader, 0).readNearby(1024, sector.data(), 512));
    ASSERT_TRUE(DeviceSlice::toEnd(reader, 512).readNearby(1024, sector.data(), 512));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), data.begin() + 1536));
}

TEST(RawReader, MissingFileShowsInvalidHandle) {
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    EXPECT_FALSE(reader.open("/nonexistent/disk.img"));
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"Invalid handle ."});
}

}  // namespace
}  // namespace vdrec::image
