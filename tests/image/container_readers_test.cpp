// Every container reader must present exactly the disk qemu-img converts it to; pattern.raw is
// that conversion (the fixture build checks it with cmp).

#include <gtest/gtest.h>

#include <random>

#include "image/image_kind.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::image {
namespace {

struct Container {
    const char* file;
    ImageKind kind;
};

class ContainerReader : public ::testing::TestWithParam<Container> {
protected:
    static const std::vector<uint8_t>& reference() {
        static const std::vector<uint8_t> raw = test::readFile(test::fixture("pattern.raw"));
        return raw;
    }
};

TEST_P(ContainerReader, WholeDiskInMegabyteReadsEqualsTheRawConversion) {
    WizardState state;
    platform::RecordingSink sink;
    auto reader = makeReader(GetParam().kind, state, sink);
    ASSERT_TRUE(reader->open(test::fixture(GetParam().file)));
    const auto& raw = reference();
    EXPECT_EQ(state.totalSectors * 512, raw.size());

    std::vector<uint8_t> chunk(1 << 20);
    for (size_t offset = 0; offset < raw.size(); offset += chunk.size()) {
        ASSERT_TRUE(reader->readAt(static_cast<int64_t>(offset), chunk.data(), static_cast<uint32_t>(chunk.size())))
            << "offset " << offset;
        ASSERT_TRUE(std::equal(chunk.begin(), chunk.end(), raw.begin() + offset)) << "offset " << offset;
    }
    EXPECT_TRUE(sink.messages().empty());
}

TEST_P(ContainerReader, RandomRunsAcrossBlockAndGrainBoundariesMatch) {
    WizardState state;
    platform::RecordingSink sink;
    auto reader = makeReader(GetParam().kind, state, sink);
    ASSERT_TRUE(reader->open(test::fixture(GetParam().file)));
    const auto& raw = reference();
    std::mt19937_64 random(42);
    std::vector<uint8_t> buffer;
    // Runs that start just before 64 KiB, 1 MiB and 2 MiB boundaries, then random ones.
    std::vector<std::pair<uint64_t, uint32_t>> runs = {
        {40960ull * 512 - 2 * 512, 8 * 512}, {51200ull * 512 - 512, 2 * 512}, {57728ull * 512 - 512, 2 * 512},
        {131071ull * 512, 512}, {24576ull * 512 - 4 * 512, 8 * 512}};
    for (int k = 0; k < 200; ++k) {
        const uint64_t sector = random() % 131072;
        const uint32_t sectors = 1 + random() % std::min<uint64_t>(600, 131072 - sector);
        runs.push_back({sector * 512, sectors * 512});
    }
    for (const auto& [offset, length] : runs) {
        buffer.assign(length, 0xCC);
        ASSERT_TRUE(reader->readAt(static_cast<int64_t>(offset), buffer.data(), length));
        ASSERT_TRUE(std::equal(buffer.begin(), buffer.end(), raw.begin() + offset))
            << "offset " << offset << " length " << length;
    }
}

TEST_P(ContainerReader, ReadingPastTheLastSectorFailsWithZeros) {
    WizardState state;
    platform::RecordingSink sink;
    auto reader = makeReader(GetParam().kind, state, sink);
    ASSERT_TRUE(reader->open(test::fixture(GetParam().file)));
    std::vector<uint8_t> sector(1024, 0xCC);
    // The last sector of the disk reads fine; the one after it is outside the disk.
    EXPECT_FALSE(reader->readAt(131071ll * 512, sector.data(), 1024));
    EXPECT_TRUE(std::all_of(sector.begin() + 512, sector.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(reader->readAt(131071ll * 512, sector.data(), 512));
}

INSTANTIATE_TEST_SUITE_P(Images, ContainerReader,
                         ::testing::Values(Container{"pattern-dynamic.vhd", ImageKind::DynamicVhd},
                                           Container{"pattern.vdi", ImageKind::Vdi},
                                           Container{"pattern.vmdk", ImageKind::Vmdk}),
                         [](const auto& info) { return std::string(kindName(info.param.kind)); });

TEST(FixedVhd, ReadsAsRawDataWithItsFooterAsOneMoreSector) {
    WizardState state;
    platform::RecordingSink sink;
    auto reader = makeReader(ImageKind::Raw, state, sink);
    ASSERT_TRUE(reader->open(test::fixture("pattern-fixed.vhd")));
    EXPECT_EQ(state.totalSectors, 131073u);
    const auto raw = test::readFile(test::fixture("pattern.raw"));
    std::vector<uint8_t> disk(raw.size());
    ASSERT_TRUE(reader->readAt(0, disk.data(), static_cast<uint32_t>(disk.size())));
    EXPECT_EQ(disk, raw);
}

TEST(ImageKindDetection, TellsContainersByContent) {
    struct Case {
        const char* file;
        ImageKind kind;
    } cases[] = {{"pattern-dynamic.vhd", ImageKind::DynamicVhd}, {"pattern-fixed.vhd", ImageKind::Raw},
                 {"pattern.vdi", ImageKind::Vdi},               {"pattern.vmdk", ImageKind::Vmdk},
                 {"pattern.raw", ImageKind::Raw}};
    for (const auto& c : cases) EXPECT_EQ(detectImageKind(test::fixture(c.file)), c.kind) << c.file;
}

}  // namespace
}  // namespace vdrec::image
