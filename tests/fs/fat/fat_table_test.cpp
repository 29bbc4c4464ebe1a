// Cluster chains: which FAT values continue a chain and which end it.

#include <gtest/gtest.h>

#include <vector>

#include "fs/fat/fat_table.h"
#include "image/raw_reader.h"
#include "image/wizard_state.h"
#include "platform/recording_sink.h"

namespace vdrec::fs::fat {
namespace {

struct TableOnDisk {
    image::WizardState state;
    platform::RecordingSink sink;
    image::RawReader reader{state, sink};
    FatTable table;
    TableOnDisk(FatType type, const std::vector<uint32_t>& entries, uint64_t lastCluster) {
        const size_t width = type == FatType::Fat16 ? 2 : 4;
        std::vector<uint8_t> bytes(4096, 0);
        for (size_t k = 0; k < entries.size(); ++k)
            for (size_t b = 0; b < width; ++b) bytes[k * width + b] = static_cast<uint8_t>(entries[k] >> (8 * b));
        EXPECT_TRUE(reader.openSource("fat.img", std::make_unique<platform::MemorySource>(bytes)));
        table.attach(vdrec::image::DeviceSlice::toEnd(reader, 0), type, 0, entries.size() * width, lastCluster);
    }
};

std::vector<uint64_t> chain(const FatTable& table, uint64_t first) {
    std::vector<uint64_t> clusters;
    for (std::optional<uint64_t> c = first; c && clusters.size() < 64; c = table.next(*c)) clusters.push_back(*c);
    return clusters;
}

TEST(FatTable, EveryEndMarkBadMarkAndOutOfVolumeValueEndsAFat16Chain) {
    for (uint32_t end : {0xFFF7u, 0xFFF8u, 0xFFFAu, 0xFFFFu, 0x0000u, 0x0001u, 0x0030u}) {
        TableOnDisk disk(FatType::Fat16, {0xFFF8, 0xFFFF, 3, 4, end}, 40);
        EXPECT_EQ(chain(disk.table, 2), (std::vector<uint64_t>{2, 3, 4})) << std::hex << end;
    }
}

TEST(FatTable, Fat32EntriesAreReadWithoutTheirReservedTopBits) {
    TableOnDisk disk(FatType::Fat32, {0x0FFFFFF8, 0x0FFFFFFF, 0xF0000003, 0x10000004, 0xFFFFFFFF, 0x0FFFFFF8, 0}, 100);
    EXPECT_EQ(chain(disk.table, 2), (std::vector<uint64_t>{2, 3, 4}));
    EXPECT_EQ(chain(disk.table, 5), (std::vector<uint64_t>{5}));
    EXPECT_TRUE(disk.table.isFree(6));
    EXPECT_FALSE(disk.table.isFree(4));
}

TEST(FatTable, ClustersTheTableCannotHoldAreNotDataClusters) {
    TableOnDisk disk(FatType::Fat16, {0xFFF8, 0xFFFF, 0xFFFF, 0xFFFF}, 1000);
    EXPECT_EQ(disk.table.lastCluster(), 3u);
    EXPECT_FALSE(disk.table.isDataCluster(0));
    EXPECT_FALSE(disk.table.isDataCluster(1));
    EXPECT_TRUE(disk.table.isDataCluster(3));
    EXPECT_FALSE(disk.table.isDataCluster(4));
    EXPECT_EQ(disk.table.next(1), std::nullopt);
}

}  // namespace
}  // namespace vdrec::fs::fat
