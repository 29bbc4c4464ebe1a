#include "volumes/volume_extent.h"

#include <gtest/gtest.h>

namespace vdrec::volumes {
namespace {

constexpr uint64_t kDisk = 49152;  // sectors: a 24 MiB disk, last sector 49151

TEST(VolumeExtent, HandGivenVolumeWithoutAnEndRunsToTheLastSector) {
    struct Case {
        int64_t start, end;
        const char* sizeText;
    } cases[] = {
        {2048, 4095, "1"},       // as typed
        {2048, 0, "23"},         // no end: up to sector 49151
        {0, 0, "24"},
        {2048, 49151, "23"},     // the last sector itself
        {2048, 999999999, "23"}, // past the disk: its last sector
        {4096, 2048, "0"},       // an end before the start
        {49151, 0, "0"},         // starts on the last sector: nothing after it
        {60000, 0, "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(handGivenSizeText(c.start, c.end, kDisk), c.sizeText) << c.start << ".." << c.end;
}

TEST(VolumeExtent, VolumeRunningPastTheDiskEndsAtItsLastSector) {
    struct Case {
        int64_t start;
        const char* sizeText;
        bool fits;
        const char* fitted;
    } cases[] = {
        {2048, "4   MB", true, "4   MB"},         // inside: unchanged
        {2048, "2097151   MB", true, "23   MB"},  // an MBR entry of 0xFFFFFFFF sectors
        {30720, "100  MB", true, "9  MB"},
        {40960, "2", true, "2"},
        {2048, "0", true, "0"},
        {49151, "1   MB", true, "0   MB"},
        {49152, "4   MB", false, "4   MB"},       // starts just past the last sector
        {4294967040, "past disk end", false, "past disk end"},
        {-1, "4", false, "4"},
    };
    for (const auto& c : cases) {
        VolumeEntry volume{"NTFS", "0", c.sizeText, c.start};
        EXPECT_EQ(fitToDisk(volume, kDisk), c.fits) << c.start << " " << c.sizeText;
        EXPECT_EQ(volume.sizeText, c.fitted) << c.start << " " << c.sizeText;
        EXPECT_EQ(volume.startSector, c.start);
    }
}

}  // namespace
}  // namespace vdrec::volumes
