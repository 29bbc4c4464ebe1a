#include "results/copy_pool.h"

#include <algorithm>
#include <utility>

#include "platform/output_file.h"

namespace vdrec::results {

CopyPool::CopyPool(fs::FileSystemAdapter& adapter, unsigned threads) : adapter_(adapter) {
    for (unsigned k = 0; k < threads; ++k) threads_.emplace_back([this] { work(); });
}

CopyPool::~CopyPool() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    workReady_.notify_all();
    for (auto& thread : threads_) thread.join();
}

void CopyPool::copyBatch(std::vector<Copy>& batch) {
    if (batch.empty()) return;
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        for (Copy& copy : batch) jobs_.push_back({copy.entry, std::move(copy.destination), {}, false, false});
        jobs_.back().endsBatch = true;
        wake = idle_ > 0;
    }
    batch.clear();
    if (wake) workReady_.notify_one();
}

std::vector<fs::CopyResult> CopyPool::collect(size_t count) {
    std::unique_lock lock(mutex_);
    wanted_ = std::min(count, jobs_.size());
    finished_.wait(lock, [&] { return finishedAtFront_ >= wanted_; });
    wanted_ = 0;
    std::vector<fs::CopyResult> results;
    results.reserve(finishedAtFront_);
    for (size_t k = 0; k < finishedAtFront_; ++k) {
        results.push_back(jobs_.front().result);
        jobs_.pop_front();
    }
    started_ -= finishedAtFront_;
    finishedAtFront_ = 0;
    return results;
}

void CopyPool::work() {
    const platform::FolderHandleCache folderHandles;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (started_ == jobs_.size()) {
            if (closing_) return;
            ++idle_;
            workReady_.wait(lock);
            --idle_;
            continue;
        }
        // A batch is queued whole. Positions shift as the walk removes finished jobs, but the
        // jobs stay in place: a deque's elements do not move when others are added or removed
        // at its ends, and the walk removes only finished ones.
        std::vector<Job*> batch;
        do batch.push_back(&jobs_[started_]);
        while (!jobs_[started_++].endsBatch);
        for (Job* job : batch) {
            lock.unlock();
            const fs::CopyResult result = adapter_.saveFile(job->entry, job->destination);
            lock.lock();
            job->result = result;
            job->finished = true;
            while (finishedAtFront_ < jobs_.size() && jobs_[finishedAtFront_].finished) ++finishedAtFront_;
            if (wanted_ > 0 && finishedAtFront_ >= wanted_) finished_.notify_one();
        }
    }
}

}  // namespace vdrec::results
