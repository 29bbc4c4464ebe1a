#include "results/save_walk.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "platform/folders.h"
#include "platform/text_format.h"
#include "results/output_names.h"

namespace vdrec::results {

// One folder being walked: its next child and where its files go.
struct SaveWalk::Frame {
    // Only folders with live files or live subfolders carry these; most frames of a deep chain
    // stay small.
    struct LiveNames {
        // Destinations promised to the live files before any deleted namesake is named.
        std::unordered_map<fs::EntryRef, std::string> destinations;
        // Output names of live subfolders: a deleted subfolder of the same name shares their
        // output folder and is walked once the chain has ended, after the live one.
        std::unordered_set<std::string> folderNames;
        std::vector<fs::EntryRef> deferred;
        size_t nextDeferred = 0;
    };

    fs::EntryRef next = fs::kNoEntry;
    std::string outputFolder;
    std::string path;
    bool deleted = false;
    std::unique_ptr<LiveNames> live;
};

// Copies files on helper threads; the walk queues them and collects the results in order.
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
        changed_.notify_all();
        for (auto& thread : threads_) thread.join();
    }

    std::future<fs::CopyResult> copy(fs::EntryRef entry, std::string destination) {
        Job job{entry, std::move(destination), {}};
        auto result = job.promise.get_future();
        {
            std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        changed_.notify_one();
        return result;
    }

private:
    struct Job {
        fs::EntryRef entry;
        std::string destination;
        std::promise<fs::CopyResult> promise;
    };

    void work() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return closing_ || !jobs_.empty(); });
                if (jobs_.empty()) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job.promise.set_value(adapter_.saveFile(job.entry, job.destination));
        }
    }

    fs::FileSystemAdapter& adapter_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
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
    saved.status = result.status == fs::CopyStatus::Ok ? SavedFile::Status::Ok : SavedFile::Status::Error;
    if (result.status != fs::CopyStatus::Failed || platform::pathExists(destination)) saved.output = destination;
    return saved;
}

std::string SaveWalk::reserveDestination(const std::string& folder, const std::string& name) {
    // A folder this walk made holds only what the walk promised, so the disk need not be asked.
    std::string destination =
        freshFolders_.count(folder) != 0
            ? uniqueReservedPath(folder, name)
            : uniqueOutputPath(folder, name, [this](const std::string& path) { return reserved_.count(path) != 0; });
    reserved_.insert(destination);
    return destination;
}

void SaveWalk::promiseLiveNames(Frame& frame) {
    std::unordered_set<fs::EntryRef> met;
    for (fs::EntryRef child = frame.next; child != fs::kNoEntry && met.insert(child).second;
         child = adapter_.nextSibling(child)) {
        if (!adapter_.isValid(child) || adapter_.isDeleted(child, frame.deleted)) continue;
        const fs::SaveKind kind = adapter_.saveKind(child);
        if (kind != fs::SaveKind::File && kind != fs::SaveKind::Folder) continue;
        const std::string name = adapter_.name(child);
        if (kind == fs::SaveKind::Folder && (name.empty() || name == ".")) continue;
        if (!frame.live) frame.live = std::make_unique<Frame::LiveNames>();
        if (kind == fs::SaveKind::File)
            frame.live->destinations.emplace(child, reserveDestination(frame.outputFolder, safeOutputName(name)));
        else
            frame.live->folderNames.insert(safeOutputName(name));
    }
}

std::string SaveWalk::folderDestination(const std::string& parent, const std::string& name) {
    const std::string base = platform::withTrailingSeparator(parent);
    std::string folderName = name;
    // A name promised to a file not written yet is not free for a folder.
    if (reserved_.count(base + name) != 0 && !platform::isRealFolder(base + name))
        folderName = uniqueOutputPath(parent, name, [this](const std::string& path) { return reserved_.count(path) != 0; })
                         .substr(base.size());
    bool created = false;
    const std::string path = outputFolderFor(parent, folderName, &created);
    if (created) freshFolders_.insert(path);
    reserved_.insert(path);
    return path;
}

std::string SaveWalk::uniqueReservedPath(const std::string& folder, const std::string& name) {
    const std::string candidate = platform::withTrailingSeparator(folder) + name;
    if (reserved_.count(candidate) == 0) return candidate;
    return uniqueOutputPath(folder, name, [this](const std::string& path) { return reserved_.count(path) != 0; });
}

SaveReport SaveWalk::saveFolder(fs::EntryRef folder, const std::string& outputFolder, const std::string& pathPrefix) {
    SaveReport report;
    if (parallelCopies > 1 && !pool_) pool_ = std::make_unique<CopyPool>(adapter_, parallelCopies);
    // Copies handed to the pool, reported in walk order as they finish.
    struct Pending {
        SavedFile saved;
        std::future<fs::CopyResult> result;
    };
    constexpr size_t kCopiesInFlight = 64;
    std::deque<Pending> pending;
    auto finishOldest = [&] {
        Pending done = std::move(pending.front());
        pending.pop_front();
        const fs::CopyResult result = done.result.get();
        done.saved.bytes = result.bytesWritten;
        done.saved.status = result.status == fs::CopyStatus::Ok ? SavedFile::Status::Ok : SavedFile::Status::Error;
        if (result.status == fs::CopyStatus::Failed && !platform::pathExists(done.saved.output)) done.saved.output.clear();
        if (done.saved.status != SavedFile::Status::Ok) ++report.notWritten;
        if (onFile) onFile(done.saved);
    };
    std::unordered_set<fs::EntryRef> seen{folder};
    // Depth-first in link order without recursion: a deep or looping chain cannot exhaust the stack.
    std::vector<Frame> stack(1);
    stack.back().next = adapter_.firstChild(folder);
    stack.back().outputFolder = outputFolder;
    stack.back().path = pathPrefix;
    stack.back().deleted = adapter_.isValid(folder) && adapter_.isDeleted(folder, false);
    promiseLiveNames(stack.back());
    while (!stack.empty()) {
        Frame& frame = stack.back();
        fs::EntryRef child = frame.next;
        bool wasDeferred = false;
        if (child != fs::kNoEntry && seen.insert(child).second) {
            frame.next = adapter_.nextSibling(child);
        } else if (frame.live && frame.live->nextDeferred < frame.live->deferred.size()) {
            frame.next = fs::kNoEntry;
            child = frame.live->deferred[frame.live->nextDeferred++];
            wasDeferred = true;
        } else {
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
                if (!name.empty()) {
                    inner.outputFolder = folderDestination(frame.outputFolder, safeOutputName(name));
                    inner.path = frame.path + name + "/";
                }
                promiseLiveNames(inner);
                stack.push_back(std::move(inner));
                break;
            }
            case fs::SaveKind::File: {
                ++report.files;
                std::string destination;
                if (frame.live)
                    if (auto promised = frame.live->destinations.extract(child)) destination = std::move(promised.mapped());
                if (destination.empty()) destination = reserveDestination(frame.outputFolder, safeOutputName(name));
                if (pool_) {
                    Pending next{{frame.path + name, std::move(destination), 0, SavedFile::Status::Error}, {}};
                    next.result = pool_->copy(child, next.saved.output);
                    pending.push_back(std::move(next));
                    if (pending.size() >= kCopiesInFlight) finishOldest();
                    break;
                }
                SavedFile saved = copyTo(child, destination, frame.path + name);
                if (saved.status != SavedFile::Status::Ok) ++report.notWritten;
                if (onFile) onFile(saved);
                break;
            }
            case fs::SaveKind::CountedOnly: {
                ++report.files;
                while (!pending.empty()) finishOldest();  // keep walk order
                SavedFile skipped;
                skipped.path = frame.path + name;
                skipped.status = SavedFile::Status::Skipped;
                if (onFile) onFile(skipped);
                break;
            }
            case fs::SaveKind::Skipped: break;
        }
    }
    while (!pending.empty()) finishOldest();
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
    if (result.notWritten == 0)
        sink.message("work done");
    else
        sink.message(platform::format("work done. %llu of %llu files could not be written completely.",
                                      static_cast<unsigned long long>(result.notWritten),
                                      static_cast<unsigned long long>(result.files)));
    if (report != nullptr) *report = result;
    return true;
}

}  // namespace vdrec::results
