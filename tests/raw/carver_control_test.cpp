// Running the carving engine: progress, stop, pause and resume, and saving its finds.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "support/carve_test_support.h"
#include "support/test_support.h"

namespace vdrec::raw {
namespace {

using test::put;
using test::signature;

constexpr uint64_t MiB = 1u << 20;
const std::vector<uint8_t> kAbc = {0xAB, 0xCD, 0xEF};

SignatureRecord abc(int64_t approx = 100) {
    auto record = signature("abc", kAbc);
    record.approximateSize = approx;
    return record;
}

// A disk with a find at the start of each of its first `count` MiB.
std::vector<uint8_t> diskWithFinds(uint64_t mebibytes, uint64_t count) {
    std::vector<uint8_t> disk(mebibytes * MiB, 0);
    for (uint64_t i = 0; i < count; ++i) put(disk, i * MiB, kAbc);
    return disk;
}

TEST(CarverRun, ReportsProgressByMebibyteAndEndsWithDone) {
    test::CarvedDisk carved(diskWithFinds(9, 1));
    carved.carve({abc()}, 0, 9 * MiB);
    EXPECT_EQ(carved.sink().range(), (std::pair<int64_t, int64_t>{0, 9}));
    ASSERT_FALSE(carved.sink().positions().empty());
    EXPECT_EQ(carved.sink().positions().back(), 9);
    EXPECT_EQ(carved.sink().messages(), std::vector<std::string>{std::string(kCarveDone)});
}

TEST(CarverRun, WithoutSignaturesNothingIsScanned) {
    test::CarvedDisk carved(diskWithFinds(1, 1));
    carved.carver().setArea(0, MiB);
    EXPECT_FALSE(carved.carver().run(carved.sink()));
    EXPECT_EQ(carved.sink().messages(), std::vector<std::string>{std::string(kCarverNotInitialized)});
    EXPECT_TRUE(carved.carver().foundFiles().empty());
}

TEST(CarverRun, StopEndsTheScanAndKeepsTheFindsSoFar) {
    test::CarvedDisk carved(diskWithFinds(8, 8));
    Carver& carver = carved.carver();
    carver.onFound = [&](const FoundFile&, const Category&) { carver.stop(); };
    carved.carve({abc()}, 0, 8 * MiB);
    ASSERT_EQ(carver.foundFiles().size(), 1u);
    EXPECT_EQ(carver.foundFiles()[0].name, "0 .abc");
    // A new run starts afresh.
    carver.onFound = nullptr;
    carver.run(carved.sink());
    EXPECT_EQ(carver.foundFiles().size(), 8u);
}

TEST(CarverRun, PauseHoldsTheScanUntilResumed) {
    test::CarvedDisk carved(diskWithFinds(8, 8));
    Carver& carver = carved.carver();
    std::atomic<size_t> seen{0};
    carver.onFound = [&](const FoundFile&, const Category&) {
        if (++seen == 1) carver.pause();
    };
    carver.addSignatures(std::vector{abc()});
    carver.setArea(0, 8 * MiB);
    std::thread scan([&] { carver.run(carved.sink()); });
    while (seen.load() == 0) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(carver.paused());
    EXPECT_EQ(seen.load(), 1u) << "no find while paused";
    carver.resume();
    scan.join();
    EXPECT_EQ(carver.foundFiles().size(), 8u);
}

TEST(CarverRun, StopReleasesAPausedScan) {
    test::CarvedDisk carved(diskWithFinds(8, 8));
    Carver& carver = carved.carver();
    carver.onFound = [&](const FoundFile&, const Category&) { carver.pause(); };
    carver.addSignatures(std::vector{abc()});
    carver.setArea(0, 8 * MiB);
    std::thread scan([&] { carver.run(carved.sink()); });
    while (!carver.paused()) std::this_thread::yield();
    carver.stop();
    scan.join();
    EXPECT_EQ(carver.foundFiles().size(), 1u);
}

TEST(CarverSave, WritesTheFindsBytesUnderAUniqueSafeName) {
    std::vector<uint8_t> disk(2 * MiB, 0);
    for (size_t i = 0; i < 3000; ++i) disk[MiB + 512 + i] = static_cast<uint8_t>(i * 7);
    put(disk, MiB + 512, kAbc);
    test::CarvedDisk carved(disk);
    auto odd = signature("../x", kAbc);  // an extension that would climb out of the folder
    odd.approximateSize = 3000;
    carved.carve({odd}, 2048, MiB);
    ASSERT_EQ(carved.carver().foundFiles().size(), 1u);
    ::vdrec::test::TempDir out;
    const FoundFile& file = carved.carver().foundFiles()[0];
    const SavedFind first = carved.carver().save(file, out.path());
    const SavedFind second = carved.carver().save(file, out.path());
    EXPECT_EQ(first.error, 0);
    EXPECT_FALSE(first.readFailed);
    EXPECT_EQ(first.bytes, 3000u);
    EXPECT_EQ(std::filesystem::path(first.output).parent_path(), std::filesystem::path(out.path()));
    EXPECT_EQ(std::filesystem::path(first.output).filename(), "512 ..._x");
    EXPECT_EQ(std::filesystem::path(second.output).filename(), "512 .. (1)._x");
    const auto saved = ::vdrec::test::readFile(first.output);
    EXPECT_EQ(saved, std::vector<uint8_t>(disk.begin() + MiB + 512, disk.begin() + MiB + 512 + 3000));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 2);
}

TEST(CarverSave, NeverCopiesPastTheArea) {
    test::CarvedDisk carved(diskWithFinds(2, 1));
    carved.carve({abc()}, 0, MiB);
    FoundFile file = carved.carver().foundFiles().at(0);
    file.length = 5 * MiB;
    ::vdrec::test::TempDir out;
    EXPECT_EQ(carved.carver().save(file, out.path()).bytes, MiB);
}

}  // namespace
}  // namespace vdrec::raw
