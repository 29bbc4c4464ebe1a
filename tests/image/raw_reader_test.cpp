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

TEST(RawReader, BaseOffsetShiftsEverySeek) {
    TempDir dir;
    const auto data = numberedSectors(2 * 1048576);
    test::writeFile(dir.file("disk.img"), data);
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    ASSERT_TRUE(reader.open(dir.file("disk.img")));
    reader.baseOffset = 1048576;
    std::vector<uint8_t> sector(512);
    ASSERT_TRUE(reader.readAt(0, sector.data(), 512));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), data.begin() + 1048576));
    // Reads continue where the last one ended.
    ASSERT_TRUE(reader.read(sector.data(), 512));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), data.begin() + 1048576 + 512));
}

TEST(RawReader, NearbyReadsGiveWhatPositionedReadsGive) {
    TempDir dir;
    // Three pieces and a bit: the last piece reaches past the end of the image.
    const auto data = numberedSectors(3 * ImageReader::kNearbyPieceBytes + 1024);
    test::writeFile(dir.file("disk.img"), data);
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    ASSERT_TRUE(reader.open(dir.file("disk.img")));
    const int64_t piece = ImageReader::kNearbyPieceBytes;
    struct Case {
        int64_t offset;
        uint32_t count;
    } cases[] = {
        {0, 1024},                   {1024, 256},  {piece - 512, 1024},  // across two pieces
        {piece, 512},                {512, 1024},  {3 * piece, 1024},    // the last, short piece
        {3 * piece + 512, 1024},     // partly past the end
        {-512, 512},
    };
    for (const int64_t base : {int64_t{0}, int64_t{512}}) {
        reader.baseOffset = base;
        for (const Case& c : cases) {
            std::vector<uint8_t> expected(c.count, 0xAA), got(c.count, 0x55);
            const bool expectedRead = reader.readAt(c.offset, expected.data(), c.count);
            const bool gotRead = reader.readNearby(c.offset, got.data(), c.count);
            EXPECT_EQ(gotRead, expectedRead) << "offset " << c.offset << " base " << base;
            if (expectedRead) {
                EXPECT_EQ(got, expected) << "offset " << c.offset << " base " << base;
            }
        }
    }
    // The piece follows the base offset: the same offset read again after a change of base.
    std::vector<uint8_t> sector(512);
    reader.baseOffset = 0;
    ASSERT_TRUE(reader.readNearby(1024, sector.data(), 512));
    reader.baseOffset = 512;
    ASSERT_TRUE(reader.readNearby(1024, sector.data(), 512));
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
