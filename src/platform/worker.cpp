#include "platform/worker.h"

namespace vdrec::platform {

Worker::Worker() : pageThread_(std::this_thread::get_id()) {}

Worker::~Worker() {
    stop();
    finishJoin(false);
}

bool Worker::start(std::function<void()> job, std::function<void()> onStop) {
    {
        std::lock_guard lock(mutex_);
        if (started_ && !finished_) return false;
    }
    // A job that ended on its own is joined before the next one takes the thread slot.
    join();
    std::lock_guard lock(mutex_);
    onStop_ = std::move(onStop);
    started_ = true;
    finished_ = false;
    paused_ = stop_ = parked_ = discard_ = false;
    thread_ = std::thread([this, job = std::move(job)] {
        job();
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    });
    return true;
}

void Worker::setWakeUp(std::function<void()> wakeUp) {
    std::lock_guard lock(mutex_);
    if (started_ && !finished_) return;
    wakeUp_ = std::move(wakeUp);
}

bool Worker::running() const {
    std::lock_guard lock(mutex_);
    return started_ && !finished_;
}

bool Worker::paused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

bool Worker::stopRequested() const {
    std::lock_guard lock(mutex_);
    return stop_;
}

bool Worker::parked() const {
    std::lock_guard lock(mutex_);
    return parked_;
}

void Worker::pause() {
    std::lock_guard lock(mutex_);
    if (started_ && !finished_) paused_ = true;
}

void Worker::resume() {
    std::lock_guard lock(mutex_);
    paused_ = false;
    changed_.notify_all();
}

void Worker::stop() {
    std::function<void()> onStop;
    {
        std::lock_guard lock(mutex_);
        if (!started_ || finished_) return;
        stop_ = true;
        changed_.notify_all();
        onStop = onStop_;
    }
    if (onStop) onStop();
}

void Worker::join() { finishJoin(true); }

void Worker::finishJoin(bool runCalls) {
    if (!thread_.joinable()) return;
    std::unique_lock lock(mutex_);
    paused_ = false;
    if (!runCalls) discard_ = true;
    changed_.notify_all();
    for (;;) {
        changed_.wait(lock, [&] { return finished_ || !calls_.empty(); });
        if (!calls_.empty()) {
            lock.unlock();
            if (runCalls) pump();
            lock.lock();
            if (!runCalls) {
                for (PageCall* call : calls_) call->done = true;
                calls_.clear();
                changed_.notify_all();
            }
            continue;
        }
        if (finished_) break;
    }
    lock.unlock();
    thread_.join();
    lock.lock();
    onStop_ = nullptr;
}

size_t Worker::pump() {
    std::deque<PageCall*> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(calls_);
    }
    for (PageCall* call : batch) (*call->call)();
    if (!batch.empty()) {
        std::lock_guard lock(mutex_);
        for (PageCall* call : batch) call->done = true;
        changed_.notify_all();
    }
    return batch.size();
}

bool Worker::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        pump();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        if (std::chrono::steady_clock::now() >= deadline) break;
        // Woken by a queued call or any change of the run state; the bound re-checks `done`,
        // which may depend on state outside this object.
        changed_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !calls_.empty(); });
    }
    return done();
}

bool Worker::checkpoint() {
    std::function<void()> onStop;
    bool stopped = false;
    {
        std::unique_lock lock(mutex_);
        // The page thread never parks itself: nothing would ever release it.
        if (paused_ && !stop_ && !onPageThread()) {
            parked_ = true;
            changed_.notify_all();
            changed_.wait(lock, [&] { return !paused_ || stop_; });
            parked_ = false;
            changed_.notify_all();
        }
        stopped = stop_;
        if (stopped) onStop = onStop_;
    }
    if (onStop) onStop();
    return !stopped;
}

void Worker::callOnPage(const std::function<void()>& call) {
    if (onPageThread()) {
        call();
        return;
    }
    PageCall pending{&call};
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(mutex_);
        if (discard_) return;
        calls_.push_back(&pending);
        changed_.notify_all();
        wakeUp = wakeUp_;
    }
    if (wakeUp) wakeUp();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending.done; });
}

void PausableSink::message(std::string_view text) {
    worker_.checkpoint();
    worker_.callOnPage([&] { page_.message(text); });
}

bool PausableSink::question(std::string_view text) {
    worker_.checkpoint();
    bool yes = false;
    worker_.callOnPage([&] { yes = page_.question(text); });
    return yes;
}

void PausableSink::status(std::string_view text) {
    worker_.checkpoint();
    worker_.callOnPage([&] { page_.status(text); });
}

void PausableSink::detailStatus(std::string_view text) {
    worker_.checkpoint();
    worker_.callOnPage([&] { page_.detailStatus(text); });
}

void PausableSink::progressRange(int64_t low, int64_t high) {
    worker_.checkpoint();
    worker_.callOnPage([&] { page_.progressRange(low, high); });
}

void PausableSink::progressPosition(int64_t position) {
    worker_.checkpoint();
    worker_.callOnPage([&] { page_.progressPosition(position); });
}

std::optional<std::string> PausableSink::pickFolder(std::string_view title) {
    worker_.checkpoint();
    std::optional<std::string> folder;
    worker_.callOnPage([&] { folder = page_.pickFolder(title); });
    return folder;
}

}  // namespace vdrec::platform
