#pragma once
// One long job per page on its own thread. The job never touches the page: everything it wants
// the page to show or record goes through callOnPage, which runs on the page's thread while the
// job waits. Pausing is cooperative: the job parks at its next checkpoint (every call of a
// PausableSink is one) until resumed or stopped.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ui_sink.h"

namespace vdrec::platform {

class Worker {
public:
    // The thread that constructs the worker is the page's thread.
    Worker();
    // Stops and joins; page calls still queued are dropped, since the owner may be half gone.
    // Owners join in their own destructor so that the job's last page calls still apply.
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Page thread. Starts `job`; false when a job still runs. `onStop` sets the job's own stop
    // flags: it runs on stop() and again at every checkpoint after a stop, so a job that clears
    // its flag when it begins still sees the request.
    bool start(std::function<void()> job, std::function<void()> onStop = {});
    // Page thread. Wakes the page's event loop when the job queued a page call; set before start.
    void setWakeUp(std::function<void()> wakeUp);

    // From start until the job has returned.
    bool running() const;
    bool paused() const;
    bool stopRequested() const;
    // The job is blocked at a checkpoint because of a pause.
    bool parked() const;

    void pause();
    void resume();
    // Asks the job to end and releases it from a pause.
    void stop();
    // Page thread. Waits for the job to end, applying its page calls meanwhile (the job may be
    // blocked in one). Lifts a pause, since a paused job would never end.
    void join();

    // Page thread. Applies the page calls queued so far; returns how many.
    size_t pump();
    // Page thread. Pumps until `done` holds or `timeout` passes; returns `done()`.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Job thread. Blocks while paused; false once a stop was requested.
    bool checkpoint();
    // Runs `call` on the page thread and waits until it has run. Called on the page thread
    // itself it runs at once.
    void callOnPage(const std::function<void()>& call);

private:
    struct PageCall {
        const std::function<void()>* call;
        bool done = false;
    };

    bool onPageThread() const { return std::this_thread::get_id() == pageThread_; }
    void finishJoin(bool runCalls);

    const std::thread::id pageThread_;
    std::thread thread_;
    std::function<void()> onStop_;
    std::function<void()> wakeUp_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PageCall*> calls_;
    bool started_ = false;
    bool finished_ = true;
    bool paused_ = false;
    bool stop_ = false;
    bool parked_ = false;
    bool discard_ = false;
};

// The sink a job reports through: each call is a checkpoint of the worker and then reaches the
// page's sink on the page's thread, the job waiting until it was applied.
class PausableSink final : public UiSink {
public:
    PausableSink(UiSink& page, Worker& worker) : page_(page), worker_(worker) {}

    void message(std::string_view text) override;
    bool question(std::string_view text) override;
    void status(std::string_view text) override;
    void detailStatus(std::string_view text) override;
    void progressRange(int64_t low, int64_t high) override;
    void progressPosition(int64_t position) override;
    std::optional<std::string> pickFolder(std::string_view title) override;

private:
    UiSink& page_;
    Worker& worker_;
};

}  // namespace vdrec::platform
