#include "results/save_walk.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "fs/entry_set.h"
#include "platform/folders.h"
#include "platform/output_file.h"
#include "platform/text_format.h"
#include "results/output_names.h"

namespace vdrec::results {

namespace {

// Whether a copy left a file at `destination` to report: a failed one may have left part of it.
bool leftFile(fs::CopyStatus status, const std::string& destination) {
    return status == fs::CopyStatus::Ok || status == fs::CopyStatus::Short || platform::pathExists(destination);
}

}  // namespace

// One folder being walked: its next child and where its files go.
struct SaveWalk::Frame {
    // Only folders with live files or live subfolders carry these; most frames of a deep chain
    // stay small.
    struct LiveNames {
        // Destinations promised to the live files before any deleted namesake is named, sorted
        // by entry once the chain is read.
        std::vector<std::pair<fs::EntryRef, std::string>> destinations;
        // Output names of live subfolders: a deleted subfolder of the same name shares their
        // output folder and is walked once the chain has ended, after the live one.
        std::unordered_set<std::string> folderNames;
        std::vector<fs::EntryRef> deferred;
        size_t nextDeferred = 0;

        // The destination promised to `file`, handed over once; empty when none.
        std::string takeDestination(fs::EntryRef file) {
            const auto it = std::lower_bound(destinations.begin(), destinations.end(), file,
                                             [](const auto& promised, fs::EntryRef entry) { return promised.first < entry; });
            if (it == destinations.end() || it->first != file) return {};
            return std::exchange(it->second, std::string());
        }
    };

    fs::EntryRef next = fs::kNoEntry;
    std::string outputFolder;
    std::string path;
    bool deleted = false;
    bool freshFolder = false;  // outputFolder was made by this walk
    std::unique_ptr<LiveNames> live;
};

// Copies files on helper threads. Jobs come in batches, each the files of one folder met in a
// row; a thread takes a whole batch, so the threads mostly fill different folders (two threads
// creating files in one folder contend for it in the kernel, and each would read the data
// pieces its neighbours' files lie in). Batches are taken in the order queued; the walk
// collects the results in that order, many at a time, so neither side is woken once per file.
class SaveWalk::CopyPool {
public:
    CopyPool(fs::FileSystemAdapter& adapter, unsigned threads) : adapter_(adapter) {
        for (unsigned k = 0; k < threads; ++k) threads_.emplace_back([this] { work(); });
    }
    ~CopyPool() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        workReady_.notify_all();
        for (auto& thread : threads_) thread.join();
    }

    struct Copy {
        fs::EntryRef entry;
        std::string destination;
    };
    void copyBatch(std::vector<Copy>& batch) {
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

    // Waits until at least `count` of the oldest copies (all, when fewer are queued) have
    // finished, then hands over the results of every finished copy at the front, oldest first.
    std::vector<fs::CopyResult> collect(size_t count) {
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

private:
    struct Job {
        fs::EntryRef entry;
        std::string destination;
        fs::CopyResult result;
        bool finished;
        bool endsBatch;
    };

    void work() {
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

SaveWalk::SaveWalk(fs::FileSystemAdapter& adapter, platform::UiSink& sink) : adapter_(adapter), sink_(sink) {}
SaveWalk::~SaveWalk() = default;

uint64_t SaveWalk::countFiles(fs::EntryRef folder) const {
    uint64_t count = 0;
    std::unordered_set<fs::EntryRef> seen{folder};
    std::vector<fs::EntryRef> stack{adapter_.firstChild(folder)};
    while (!stack.empty()) {
        const fs::EntryRef child = stack.back();
        if (child == fs::kNoEntry || !seen.insert(child).second) {
            stack.pop_back();
            continue;
        }
        stack.back() = adapter_.nextSibling(child);
        if (!adapter_.isValid(child)) continue;
        switch (adapter_.saveKind(child)) {
            case fs::SaveKind::Folder:
                if (adapter_.name(child) != ".") stack.push_back(adapter_.firstChild(child));
                break;
            case fs::SaveKind::File:
            case fs::SaveKind::CountedOnly: ++count; break;
            case fs::SaveKind::Skipped: break;
        }
    }
    return count;
}

SavedFile SaveWalk::saveFile(fs::EntryRef file, const std::string& outputFolder, const std::string& path) {
    return copyTo(file, uniqueOutputPath(outputFolder, safeOutputName(adapter_.name(file))), path);
}

SavedFile SaveWalk::copyTo(fs::EntryRef file, const std::string& destination, const std::string& path) {
    SavedFile saved;
    saved.path = path;
    sink_.status("saving File  " + destination);
    sink_.detailStatus("File size: " + adapter_.sizeStatusText(file));
    const fs::CopyResult result = adapter_.saveFile(file, destination);
    sink_.detailStatus("");
    saved.bytes = result.bytesWritten;
    saved.status = savedStatus(result.status);
    if (leftFile(result.status, destination)) saved.output = destination;
    return saved;
}

std::string SaveWalk::reserveDestination(const Frame& frame, const std::string& name) {
    const std::string& folder = frame.outputFolder;
    // A folder this walk made holds only what the walk promised, so the disk need not be asked.
    if (frame.freshFolder) return reserveInFreshFolder(folder, name);
    std::string destination =
        uniqueOutputPath(folder, name, [this](const std::string& path) { return reserved_.contains(path); });
    reserved_.insert(destination);
    return destination;
}

std::string SaveWalk::reserveInFreshFolder(const std::string& folder, const std::string& name) {
    std::string destination = folder;
    if (destination.empty() || destination.back() != platform::kPathSeparator) destination.push_back(platform::kPathSeparator);
    destination += name;
    // Most names are free: one look-up both tests and takes them.
    if (reserved_.insert(destination)) return destination;
    destination = uniqueOutputPath(folder, name, [this](const std::string& path) { return reserved_.contains(path); });
    reserved_.insert(destination);
    return destination;
}

void SaveWalk::promiseLiveNames(Frame& frame) {
    // The chain's entries are marked in a set kept by the walk and unmarked afterwards: a set
    // per folder cost an allocation per file.
    chain_.clear();
    for (fs::EntryRef child = frame.next; child != fs::kNoEntry && chainMet_.insert(child);
         child = adapter_.nextSibling(child)) {
        chain_.push_back(child);
        if (!adapter_.isValid(child) || adapter_.isDeleted(child, frame.deleted)) continue;
        const fs::SaveKind kind = adapter_.saveKind(child);
        if (kind != fs::SaveKind::File && kind != fs::SaveKind::Folder) continue;
        const std::string name = adapter_.name(child);
        if (kind == fs::SaveKind::Folder && (name.empty() || name == ".")) continue;
        if (!frame.live) frame.live = std::make_unique<Frame::LiveNames>();
        if (kind == fs::SaveKind::File)
            frame.live->destinations.emplace_back(child, reserveDestination(frame, safeOutputName(name)));
        else
            frame.live->folderNames.insert(safeOutputName(name));
    }
    for (fs::EntryRef child : chain_) chainMet_.erase(child);
    if (frame.live)
        std::sort(frame.live->destinations.begin(), frame.live->destinations.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
}

std::string SaveWalk::folderDestination(const std::string& parent, const std::string& name) {
    const std::string base = platform::withTrailingSeparator(parent);
    std::string folderName = name;
    // A name promised to a file not written yet is not free for a folder.
    if (reserved_.contains(base + name) && !platform::isRealFolder(base + name))
        folderName = uniqueOutputPath(parent, name, [this](const std::string& path) { return reserved_.contains(path); })
                         .substr(base.size());
    bool created = false;
    const std::string path = outputFolderFor(parent, folderName, &created);
    if (created) freshFolders_.insert(path);
    reserved_.insert(path);
    return path;
}

SaveReport SaveWalk::saveFolder(fs::EntryRef folder, const std::string& outputFolder, const std::string& pathPrefix) {
    SaveReport report;
    if (parallelCopies > 1 && !pool_) pool_ = std::make_unique<CopyPool>(adapter_, parallelCopies);
    // Copies handed to the pool, reported in walk order as they finish.
    constexpr size_t kCopiesInFlight = 512;
    std::deque<SavedFile> pending;
    // Copies of the current folder's files met in a row, queued together.
    constexpr size_t kBatchFiles = 128;
    std::vector<CopyPool::Copy> batch;
    auto tally = [&](SavedFile::Status status) {
        if (status == SavedFile::Status::Ok) return;
        ++report.notWritten;
        if (status == SavedFile::Status::NoData) ++report.noData;
    };
    auto queueBatch = [&] {
        if (pool_) pool_->copyBatch(batch);
    };
    auto finishOldest = [&](size_t count) {
        queueBatch();
        for (const fs::CopyResult& result : pool_->collect(count)) {
            SavedFile done = std::move(pending.front());
            pending.pop_front();
            done.bytes = result.bytesWritten;
            done.status = savedStatus(result.status);
            if (!leftFile(result.status, done.output)) done.output.clear();
            tally(done.status);
            if (onFile) onFile(done);
        }
    };
    auto finishAll = [&] {
        if (!pending.empty()) finishOldest(pending.size());
    };
    fs::EntrySet seen;
    seen.insert(folder);
    // Depth-first in link order without recursion: a deep or looping chain cannot exhaust the stack.
    std::vector<Frame> stack(1);
    stack.back().next = adapter_.firstChild(folder);
    stack.back().outputFolder = outputFolder;
    stack.back().path = pathPrefix;
    stack.back().deleted = adapter_.isValid(folder) && adapter_.isDeleted(folder, false);
    stack.back().freshFolder = freshFolders_.count(outputFolder) != 0;
    promiseLiveNames(stack.back());
    while (!stack.empty()) {
        Frame& frame = stack.back();
        fs::EntryRef child = frame.next;
        bool wasDeferred = false;
        if (child != fs::kNoEntry && seen.insert(child)) {
            frame.next = adapter_.nextSibling(child);
        } else if (frame.live && frame.live->nextDeferred < frame.live->deferred.size()) {
            frame.next = fs::kNoEntry;
            child = frame.live->deferred[frame.live->nextDeferred++];
            wasDeferred = true;
        } else {
            queueBatch();
            stack.pop_back();
            continue;
        }
        if (!adapter_.isValid(child)) continue;
        sink_.progressPosition(static_cast<int64_t>(report.files));
        const std::string name = adapter_.name(child);
        switch (adapter_.saveKind(child)) {
            case fs::SaveKind::Folder: {
                if (name == ".") break;
                const bool deleted = adapter_.isDeleted(child, frame.deleted);
                if (deleted && !wasDeferred && frame.live && !name.empty() &&
                    frame.live->folderNames.count(safeOutputName(name)) != 0) {
                    frame.live->deferred.push_back(child);
                    break;
                }
                Frame inner;
                inner.next = adapter_.firstChild(child);
                inner.outputFolder = frame.outputFolder;
                inner.path = frame.path;
                inner.deleted = deleted;
                inner.freshFolder = frame.freshFolder;
                if (!name.empty()) {
                    inner.outputFolder = folderDestination(frame.outputFolder, safeOutputName(name));
                    inner.path = frame.path + name + "/";
                    inner.freshFolder = freshFolders_.count(inner.outputFolder) != 0;
                }
                promiseLiveNames(inner);
                queueBatch();
                stack.push_back(std::move(inner));
                break;
            }
            case fs::SaveKind::File: {
                ++report.files;
                std::string destination;
                if (frame.live)
                    destination = frame.live->takeDestination(child);
                if (destination.empty()) destination = reserveDestination(frame, safeOutputName(name));
                if (pool_) {
                    batch.push_back({child, destination});
                    pending.push_back({frame.path + name, std::move(destination), 0, SavedFile::Status::Error});
                    if (batch.size() >= kBatchFiles) queueBatch();
                    // Half the window at a time: the walk sleeps once per batch, not per file.
                    if (pending.size() >= kCopiesInFlight) finishOldest(kCopiesInFlight / 2);
                    break;
                }
                SavedFile saved = copyTo(child, destination, frame.path + name);
                tally(saved.status);
                if (onFile) onFile(saved);
                break;
            }
            case fs::SaveKind::CountedOnly: {
                ++report.files;
                finishAll();  // keep walk order
                SavedFile skipped;
                skipped.path = frame.path + name;
                skipped.status = SavedFile::Status::Skipped;
                if (onFile) onFile(skipped);
                break;
            }
            case fs::SaveKind::Skipped: break;
        }
    }
    finishAll();
    return report;
}

bool saveWithConfirmation(fs::FileSystemAdapter& adapter, platform::UiSink& sink, fs::EntryRef folder,
                          const std::string& outputFolder, SaveReport* report) {
    if (!adapter.isValid(folder) || adapter.saveKind(folder) != fs::SaveKind::Folder) return false;
    SaveWalk walk(adapter, sink);
    const uint64_t count = walk.countFiles(folder);
    sink.progressRange(0, static_cast<int64_t>(count));
    const char* question = adapter.rules().capitalisedConfirmation
                               ? "Number of files found inside this folder = %lld .Do you want to continue dumping these files..?"
                               : "number of files found inside this folder = %lld .Do you want to continue dumping these files..?";
    if (!sink.question(platform::format(question, static_cast<long long>(count)))) return false;
    const SaveReport result = walk.saveFolder(folder, outputFolder);
    sink.progressPosition(static_cast<int64_t>(count));
    reportSaved(sink, result.files, result.notWritten, result.noData);
    if (report != nullptr) *report = result;
    return true;
}

SavedFile::Status savedStatus(fs::CopyStatus status) {
    switch (status) {
        case fs::CopyStatus::Ok: return SavedFile::Status::Ok;
        case fs::CopyStatus::NoData: return SavedFile::Status::NoData;
        case fs::CopyStatus::Short:
        case fs::CopyStatus::Failed: break;
    }
    return SavedFile::Status::Error;
}

void reportSaved(platform::UiSink& sink, uint64_t files, uint64_t notWritten, uint64_t noData) {
    if (notWritten == 0)
        sink.message("work done");
    else
        sink.message(platform::format("work done. %llu of %llu files could not be written completely.",
                                      static_cast<unsigned long long>(notWritten), static_cast<unsigned long long>(files)));
    // Counted, not told file by file: a removed folder can hold thousands of such files.
    if (noData != 0)
        sink.message(platform::format(noData == 1 ? "No data survives for %llu removed file; it was not written."
                                                  : "No data survives for %llu removed files; they were not written.",
                                      static_cast<unsigned long long>(noData)));
}

std::string noDataMessage(const std::string& name) { return "No data survives for " + name; }

}  // namespace vdrec::results
