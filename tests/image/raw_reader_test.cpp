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

TEST(RawReader, MissingFileShowsInvalidHandle) {
    WizardState state;
    platform::RecordingSink sink;
    RawReader reader(state, sink);
    EXPECT_FALSE(reader.open("/nonexistent/disk.img"));
    EXPECT_EQ(sink.messages(), std::vector<std::string>{"Invalid handle ."});
}

}  // namespace
}  // namespace vdrec::image
