#pragma once
// Copies files on helper threads for the save walk. Jobs come in batches, each the files of one
// folder met in a row; a thread takes a whole batch, so the threads mostly fill different folders
// (two threads creating files in one folder contend for it in the kernel, and each would read the
// data pieces its neighbours' files lie in). Batches are taken in the order queued; the walk
// collects the results in that order, many at a time, so neither side is woken once per file.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fs/file_system_adapter.h"

namespace vdrec::results {

class CopyPool {
public:
    // The adapter must allow saveFile from several threads at once.
    CopyPool(fs::FileSystemAdapter& adapter, unsigned threads);
    ~CopyPool();
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    struct Copy {
        fs::EntryRef entry;
        std::string destination;
    };
    // Queues the batch as one job for one thread and empties it.
    void copyBatch(std::vector<Copy>& batch);
    // Waits until at least `count` of the oldest copies (all, when fewer are queued) have
    // finished, then hands over the results of every finished copy at the front, oldest first.
    std::vector<fs::CopyResult> collect(size_t count);

private:
    struct Job {
        fs::EntryRef entry;
        std::string destination;
        fs::CopyResult result;
        bool finished;
        bool endsBatch;
    };

    void work();

    fs::FileSystemAdapter& adapter_;
    std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable finished_;
    std::deque<Job> jobs_;
    size_t started_ = 0;          // jobs at the front handed to a thread
    size_t finishedAtFront_ = 0;  // jobs at the front that have finished, without a gap
    size_t wanted_ = 0;           // finished jobs the walk waits for; 0 when it does not wait
    unsigned idle_ = 0;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vdrec::results
