#include "results/save_walk.h"

#include <algorithm>
#include <deque>
#include <unordered_set>
#include <utility>

#include "fs/entry_walk.h"
#include "platform/folders.h"
#include "platform/output_file.h"
#include "platform/text_format.h"
#include "results/copy_pool.h"
#include "results/output_names.h"

namespace vdrec::results {

namespace {

// Whether a copy left a file at `destination` to report: a failed one may have left part of it.
bool leftFile(fs::CopyStatus status, const std::string& destination) {
    return status == fs::CopyStatus::Ok || status == fs::CopyStatus::Short || platform::pathExists(destination);
}

}  // namespace

// One folder being walked: where its files go and the names promised in it.
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

    std::string outputFolder;
    std::string path;
    bool deleted = false;
    bool freshFolder = false;  // outputFolder was made by this walk
    std::unique_ptr<LiveNames> live;
};

SaveWalk::SaveWalk(fs::FileSystemAdapter& adapter, platform::UiSink& sink) : adapter_(adapter), sink_(sink) {}
SaveWalk::~SaveWalk() = default;

uint64_t SaveWalk::countFiles(fs::EntryRef folder) const {
    // The files the save walk would meet: it walks the same folders.
    struct Counter final : fs::EntryVisitor {
        const fs::FileSystemAdapter& adapter;
        uint64_t count = 0;
        explicit Counter(const fs::FileSystemAdapter& files) : adapter(files) {}
        fs::WalkStep visit(fs::EntryRef child, bool) override {
            switch (adapter.saveKind(child)) {
                case fs::SaveKind::Folder:
                    if (adapter.name(child) != ".") return fs::WalkStep::Descend;
                    break;
                case fs::SaveKind::File:
                case fs::SaveKind::CountedOnly: ++count; break;
                case fs::SaveKind::Skipped: break;
            }
            return fs::WalkStep::Next;
        }
    } counter(adapter_);
    fs::walkEntries(adapter_, folder, counter);
    return counter.count;
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

void SaveWalk::promiseLiveNames(Frame& frame, std::span<const fs::EntryRef> chain) {
    for (fs::EntryRef child : chain) {
        if (adapter_.isDeleted(child, frame.deleted)) continue;
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

// One save of a folder: the walk's visitor, the frames of the folders open in the output, and
// the copies handed to the pool and not yet reported.
class SaveWalk::FolderSave final : public fs::EntryVisitor {
public:
    FolderSave(SaveWalk& walk, SaveReport& report) : walk_(walk), report_(report) {}

    void start(Frame top) { stack_.push_back(std::move(top)); }

    void beginFolder(fs::EntryRef, std::span<const fs::EntryRef> chain) override {
        walk_.promiseLiveNames(stack_.back(), chain);
    }

    void endFolder(fs::EntryRef) override {
        queueBatch();
        stack_.pop_back();
    }

    fs::WalkStep visit(fs::EntryRef child, bool deferred) override {
        fs::FileSystemAdapter& adapter = walk_.adapter_;
        Frame& frame = stack_.back();
        walk_.sink_.progressPosition(static_cast<int64_t>(report_.files));
        const std::string name = adapter.name(child);
        switch (adapter.saveKind(child)) {
            case fs::SaveKind::Folder: {
                if (name == ".") break;
                const bool deleted = adapter.isDeleted(child, frame.deleted);
                // A deleted subfolder named as a live one shares its output folder, after it.
                if (deleted && !deferred && frame.live && !name.empty() &&
                    frame.live->folderNames.count(safeOutputName(name)) != 0)
                    return fs::WalkStep::Defer;
                Frame inner;
                inner.outputFolder = frame.outputFolder;
                inner.path = frame.path;
                inner.deleted = deleted;
                inner.freshFolder = frame.freshFolder;
                if (!name.empty()) {
                    inner.outputFolder = walk_.folderDestination(frame.outputFolder, safeOutputName(name));
                    inner.path = frame.path + name + "/";
                    inner.freshFolder = walk_.freshFolders_.count(inner.outputFolder) != 0;
                }
                queueBatch();
                stack_.push_back(std::move(inner));
                return fs::WalkStep::Descend;
            }
            case fs::SaveKind::File: {
                ++report_.files;
                std::string destination;
                if (frame.live) destination = frame.live->takeDestination(child);
                if (destination.empty()) destination = walk_.reserveDestination(frame, safeOutputName(name));
                if (walk_.pool_) {
                    batch_.push_back({child, destination});
                    pending_.push_back({frame.path + name, std::move(destination), 0, SavedFile::Status::Error});
                    if (batch_.size() >= kBatchFiles) queueBatch();
                    // Half the window at a time: the walk sleeps once per batch, not per file.
                    if (pending_.size() >= kCopiesInFlight) finishOldest(kCopiesInFlight / 2);
                    break;
                }
                report(walk_.copyTo(child, destination, frame.path + name));
                break;
            }
            case fs::SaveKind::CountedOnly: {
                ++report_.files;
                finishAll();  // keep walk order
                SavedFile skipped;
                skipped.path = frame.path + name;
                skipped.status = SavedFile::Status::Skipped;
                if (walk_.onFile) walk_.onFile(skipped);
                break;
            }
            case fs::SaveKind::Skipped: break;
        }
        return fs::WalkStep::Next;
    }

    void finishAll() {
        if (!pending_.empty()) finishOldest(pending_.size());
    }

private:
    // Copies handed to the pool, reported in walk order as they finish.
    static constexpr size_t kCopiesInFlight = 512;
    // Copies of the current folder's files met in a row, queued together.
    static constexpr size_t kBatchFiles = 128;

    void report(const SavedFile& saved) {
        if (saved.status != SavedFile::Status::Ok) {
            ++report_.notWritten;
            if (saved.status == SavedFile::Status::NoData) ++report_.noData;
        }
        if (walk_.onFile) walk_.onFile(saved);
    }

    void queueBatch() {
        if (walk_.pool_) walk_.pool_->copyBatch(batch_);
    }

    void finishOldest(size_t count) {
        queueBatch();
        for (const fs::CopyResult& result : walk_.pool_->collect(count)) {
            SavedFile done = std::move(pending_.front());
            pending_.pop_front();
            done.bytes = result.bytesWritten;
            done.status = savedStatus(result.status);
            if (!leftFile(result.status, done.output)) done.output.clear();
            report(done);
        }
    }

    SaveWalk& walk_;
    SaveReport& report_;
    std::vector<Frame> stack_;
    std::deque<SavedFile> pending_;
    std::vector<CopyPool::Copy> batch_;
};

SaveReport SaveWalk::saveFolder(fs::EntryRef folder, const std::string& outputFolder, const std::string& pathPrefix) {
    SaveReport report;
    if (parallelCopies > 1 && !pool_) pool_ = std::make_unique<CopyPool>(adapter_, parallelCopies);
    Frame top;
    top.outputFolder = outputFolder;
    top.path = pathPrefix;
    top.deleted = adapter_.isValid(folder) && adapter_.isDeleted(folder, false);
    top.freshFolder = freshFolders_.count(outputFolder) != 0;
    FolderSave save(*this, report);
    save.start(std::move(top));
    fs::walkEntries(adapter_, folder, save);
    save.finishAll();
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
