#include "volumes/disk_export.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "image/image_reader.h"
#include "platform/recording_sink.h"
#include "support/test_support.h"

namespace vdrec::volumes {
namespace {

TEST(ExportOutputPath, NamesAfterTheImageAndNeverReusesAName) {
    test::TempDir dir;
    EXPECT_EQ(exportOutputPath("/vm/disk.vhd", dir.path()), dir.file("disk.vhd.img"));
    test::writeFile(dir.file("disk.vhd.img"), {});
    EXPECT_EQ(exportOutputPath("/vm/disk.vhd", dir.path() + "/"), dir.file("1disk.vhd.img"));
    test::writeFile(dir.file("1disk.vhd.img"), {});
    EXPECT_EQ(exportOutputPath("/vm/disk.vhd", dir.path()), dir.file("2disk.vhd.img"));
    EXPECT_EQ(exportOutputPath("disk.vhd", dir.path()), dir.file("2disk.vhd.img"));
    EXPECT_EQ(exportOutputPath("vm/other.vhd", dir.path()), dir.file("other.vhd.img"));
    EXPECT_EQ(exportOutputPath("", dir.path()), dir.file("Recovered_diskimg.img"));
    test::writeFile(dir.file("Recovered_diskimg.img"), {});
    EXPECT_EQ(exportOutputPath("/vm/", dir.path()), dir.file("1Recovered_diskimg.img"));
}

struct ExportRun {
    image::WizardState state;
    platform::RecordingSink sink;
    DiskExport worker{state, sink};
    std::vector<bool> busy;

    ExportRun(const std::string& image, image::ImageKind kind) {
        state.imagePath = image;
        state.imageKind = kind;
        worker.onBusy = [this](bool value) { busy.push_back(value); };
    }
};

TEST(DiskExport, DynamicVhdBecomesItsRawDisk) {
    test::TempDir dir;
    ExportRun run(test::fixture("pattern-dynamic.vhd"), image::ImageKind::DynamicVhd);
    const std::string out = dir.file("disk.img");
    EXPECT_EQ(run.worker.run(out), DiskExport::Outcome::Saved);
    EXPECT_EQ(test::readFile(out), test::readFile(test::fixture("pattern.raw")));
    EXPECT_EQ(run.sink.lastStatus(), "Image Saved,Choose any one of the mode and click next.");
    EXPECT_EQ(run.busy, (std::vector<bool>{true, false}));
    // The export leaves no reader behind; the volume page opens the image afresh.
    EXPECT_EQ(run.state.reader, nullptr);
    EXPECT_EQ(run.state.totalSectors, 0u);
}

TEST(DiskExport, TwelveMegabytesGoInThreeChunksWithOneProgressStep) {
    test::TempDir dir;
    std::vector<uint8_t> disk(12 << 20);
    for (size_t k = 0; k < disk.size(); k += 4096) disk[k] = static_cast<uint8_t>(k >> 12);
    test::writeFile(dir.file("disk.img"), disk);
    ExportRun run(dir.file("disk.img"), image::ImageKind::Raw);
    ASSERT_EQ(run.worker.run(dir.file("out.img")), DiskExport::Outcome::Saved);
    EXPECT_EQ(test::readFile(dir.file("out.img")), disk);
    EXPECT_EQ(run.sink.range(), (std::pair<int64_t, int64_t>{0, 24576}));
    EXPECT_EQ(run.sink.positions(), (std::vector<int64_t>{0, 20480}));
    EXPECT_EQ(run.sink.statuses(),
              (std::vector<std::string>{"5 MB of 12 MB or 0.004883 GB of 0.011719 GB Saved",
                                        "10 MB of 12 MB or 0.009766 GB of 0.011719 GB Saved",
                                        "12 MB of 12 MB or 0.011719 GB of 0.011719 GB Saved",
                                        "Image Saved,Choose any one of the mode and click next."}));
}

TEST(DiskExport, StopAfterTheFirstChunkLeavesFiveMegabytes) {
    test::TempDir dir;
    test::writeFile(dir.file("disk.img"), std::vector<uint8_t>(12 << 20, 0x5A));
    ExportRun run(dir.file("disk.img"), image::ImageKind::Raw);
    run.worker.onBusy = [&](bool busy) {
        if (busy) run.worker.stopRequested = true;
    };
    EXPECT_EQ(run.worker.run(dir.file("out.img")), DiskExport::Outcome::Stopped);
    EXPECT_EQ(std::filesystem::file_size(dir.file("out.img")), kExportChunkBytes);
    EXPECT_EQ(run.sink.lastStatus(), "Image Saved,Choose any one of the mode and click next.");
    EXPECT_FALSE(run.worker.stopRequested);
}

TEST(DiskExport, TargetWithoutRoomIsReportedBeforeAnythingIsWritten) {
    test::TempDir dir;
    test::writeFile(dir.file("disk.img"), std::vector<uint8_t>(12 << 20, 0x5A));
    ExportRun run(dir.file("disk.img"), image::ImageKind::Raw);
    // A file-size limit below the image's size leaves no room, as a full disk would.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1 << 20;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto outcome = run.worker.run(dir.file("out.img"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(outcome, DiskExport::Outcome::Failed);
    EXPECT_EQ(run.sink.messages(), std::vector<std::string>{"Insufficient Disk Space in saving Location"});
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.img")));
}

TEST(DiskExport, ReadFailureIsNotReportedAsSaved) {
    test::TempDir dir;
    test::writeFile(dir.file("disk.img"), std::vector<uint8_t>(6 << 20, 0x5A));
    ExportRun run(dir.file("disk.img"), image::ImageKind::Raw);
    run.state.enteredDiskSize = 12 << 20;  // the user typed a larger disk than the file holds
    EXPECT_EQ(run.worker.run(dir.file("out.img")), DiskExport::Outcome::Failed);
    EXPECT_EQ(run.sink.lastStatus().rfind("Exit with error number ", 0), 0u);
    EXPECT_EQ(std::filesystem::file_size(dir.file("out.img")), kExportChunkBytes);
}

TEST(DiskExport, ExistingFileIsNeverReplaced) {
    test::TempDir dir;
    test::writeFile(dir.file("disk.img"), std::vector<uint8_t>(1 << 20, 0x5A));
    test::writeFile(dir.file("out.img"), {1, 2, 3});
    ExportRun run(dir.file("disk.img"), image::ImageKind::Raw);
    EXPECT_EQ(run.worker.run(dir.file("out.img")), DiskExport::Outcome::Failed);
    EXPECT_EQ(run.sink.messages(), std::vector<std::string>{"File cannot be Created"});
    EXPECT_EQ(test::readFile(dir.file("out.img")), (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace vdrec::volumes
