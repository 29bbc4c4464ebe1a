#include "platform/worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/recording_sink.h"

namespace vdrec::platform {
namespace {

using namespace std::chrono_literals;

TEST(Worker, PageCallsRunOnThePageThreadWhileTheJobWaits) {
    Worker worker;
    const auto pageThread = std::this_thread::get_id();
    // Plain, unguarded page state: only the page thread may touch it.
    int applied = 0;
    bool allOnPage = true;
    ASSERT_TRUE(worker.start([&] {
        for (int k = 0; k < 200; ++k)
            worker.callOnPage([&] {
                allOnPage = allOnPage && std::this_thread::get_id() == pageThread;
                ++applied;
            });
    }));
    EXPECT_TRUE(worker.running());
    worker.join();
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(applied, 200);
    EXPECT_TRUE(allOnPage);
}

TEST(Worker, SecondStartIsRefusedUntilTheJobEnds) {
    Worker worker;
    std::atomic<bool> release{false};
    ASSERT_TRUE(worker.start([&] {
        while (!release) std::this_thread::sleep_for(1ms);
    }));
    EXPECT_FALSE(worker.start([] {}));
    release = true;
    worker.join();
    int runs = 0;
    ASSERT_TRUE(worker.start([&] { worker.callOnPage([&] { ++runs; }); }));
    worker.join();
    EXPECT_EQ(runs, 1);
}

struct Reporting : ::testing::Test {
    RecordingSink page;
    PausableSink sink{page, worker};
    std::atomic<int> reported{0};
    Worker worker;

    void startCounting(int steps) {
        ASSERT_TRUE(worker.start([this, steps] {
            for (int k = 0; k < steps && !worker.stopRequested(); ++k) {
                sink.progressPosition(k);
                ++reported;
            }
        }));
    }
};

TEST_F(Reporting, PauseParksTheJobAtItsNextReportAndResumeGoesOnFromThere) {
    startCounting(1000);
    worker.pause();
    ASSERT_TRUE(worker.pumpUntil([&] { return worker.parked(); }, 5s));
    const int atPause = reported;
    EXPECT_LT(atPause, 1000);
    worker.pumpUntil([] { return false; }, 30ms);
    EXPECT_EQ(reported, atPause) << "a parked job must not advance";
    EXPECT_TRUE(worker.paused());
    worker.resume();
    worker.join();
    EXPECT_EQ(reported, 1000);
    // Nothing lost and nothing doubled across the pause.
    const auto positions = page.positions();
    ASSERT_EQ(positions.size(), 1000u);
    for (int k = 0; k < 1000; ++k) EXPECT_EQ(positions[k], k);
}

TEST_F(Reporting, StopReleasesAPausedJob) {
    std::atomic<bool> jobFlag{false};
    ASSERT_TRUE(worker.start([&] {
        while (!jobFlag) sink.progressPosition(0);
    }, [&] { jobFlag = true; }));
    worker.pause();
    ASSERT_TRUE(worker.pumpUntil([&] { return worker.parked(); }, 5s));
    worker.stop();
    worker.join();
    EXPECT_FALSE(worker.running());
    EXPECT_TRUE(jobFlag);
}

TEST_F(Reporting, AStopBeforeTheJobClearsItsOwnFlagStillReachesIt) {
    std::atomic<bool> go{false}, jobFlag{false}, seen{false};
    ASSERT_TRUE(worker.start([&] {
        while (!go) std::this_thread::sleep_for(1ms);
        // Like a scan that clears its stop flag when it begins.
        jobFlag = false;
        sink.status("begin");
        seen = jobFlag.load();
    }, [&] { jobFlag = true; }));
    worker.stop();
    go = true;
    worker.join();
    EXPECT_TRUE(seen);
}

TEST_F(Reporting, JoinLiftsAPauseInsteadOfWaitingForever) {
    startCounting(50);
    worker.pause();
    ASSERT_TRUE(worker.pumpUntil([&] { return worker.parked(); }, 5s));
    worker.join();
    EXPECT_EQ(reported, 50);
}

TEST(Worker, DestroyingTheOwnerOfAParkedJobNeitherHangsNorTouchesFreedState) {
    struct Page {
        RecordingSink page;
        std::vector<int> rows;
        PausableSink sink{page, worker};
        Worker worker;  // last: destroyed first
    };
    auto owner = std::make_unique<Page>();
    Page* raw = owner.get();
    ASSERT_TRUE(owner->worker.start([raw] {
        for (int k = 0; !raw->worker.stopRequested(); ++k) {
            raw->sink.status("step");
            raw->worker.callOnPage([&] { raw->rows.push_back(k); });
        }
    }));
    ASSERT_TRUE(owner->worker.pumpUntil([&] { return owner->rows.size() >= 3; }, 5s));
    owner->worker.pause();
    ASSERT_TRUE(owner->worker.pumpUntil([&] { return owner->worker.parked(); }, 5s));
    EXPECT_EQ(std::vector<int>(owner->rows.begin(), owner->rows.begin() + 3), (std::vector<int>{0, 1, 2}));
    // The worker is the last member: it stops and joins first, dropping the page calls the job
    // still makes, while the rest of the page is intact. ASan reports any use after free.
    owner.reset();
}

TEST(Worker, ACheckpointOnThePageThreadNeverParks) {
    Worker worker;
    std::atomic<bool> release{false};
    ASSERT_TRUE(worker.start([&] {
        while (!release) std::this_thread::sleep_for(1ms);
    }));
    worker.pause();
    EXPECT_TRUE(worker.checkpoint());
    int ran = 0;
    worker.callOnPage([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    release = true;
    worker.join();
}

}  // namespace
}  // namespace vdrec::platform
