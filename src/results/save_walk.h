#pragma once
// Saving: a folder with everything below it, or one file, into a folder the user chose.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>

#include "fs/file_system_adapter.h"
#include "platform/ui_sink.h"
#include "results/path_set.h"

namespace vdrec::results {

struct SavedFile {
    enum class Status { Ok, Skipped, Error, NoData };
    std::string path;    // names below the walked folder joined by "/"
    std::string output;  // where it was written ("" when nothing was)
    uint64_t bytes = 0;
    Status status = Status::Error;
};

struct SaveReport {
    uint64_t files = 0;       // files met, as counted for the confirmation
    uint64_t notWritten = 0;  // failed or short copies, and files with no data
    uint64_t noData = 0;      // removed files of which nothing survives
};

SavedFile::Status savedStatus(fs::CopyStatus status);

// The message that ends a save: "work done", or how many of the files were not written whole,
// then how many of those had no data left to write.
void reportSaved(platform::UiSink& sink, uint64_t files, uint64_t notWritten, uint64_t noData = 0);
// The message for one file of which nothing survives.
std::string noDataMessage(const std::string& name);

class CopyPool;

class SaveWalk {
public:
    SaveWalk(fs::FileSystemAdapter& adapter, platform::UiSink& sink);
    ~SaveWalk();

    // Files below `folder` that saving would handle ("$BadClus" included); kNoEntry: the volume's.
    uint64_t countFiles(fs::EntryRef folder) const;
    // Saves the children of `folder` into `outputFolder` (the folder itself gets no folder).
    // `pathPrefix` starts every SavedFile::path (empty, or a path ending in "/"). kNoEntry: the
    // whole volume, whose root level is saved as any folder's children are.
    SaveReport saveFolder(fs::EntryRef folder, const std::string& outputFolder, const std::string& pathPrefix = "");
    // The whole volume: each root-level folder into a folder of its name, the files beside them.
    SaveReport saveVolume(const std::string& outputFolder) { return saveFolder(fs::kNoEntry, outputFolder); }
    // Saves one file into `outputFolder`.
    SavedFile saveFile(fs::EntryRef file, const std::string& outputFolder, const std::string& path);

    // Called for every file the walk handles, in walk order.
    std::function<void(const SavedFile&)> onFile;
    // Files copied at once. Above 1 the copies run on helper threads (the adapter must allow
    // that) and no per-file status is shown; results still arrive in walk order.
    unsigned parallelCopies = 1;

private:
    class FolderSave;
    struct Frame;
    // Promises destinations to the live files of a folder's chain before any deleted namesake
    // takes one, and notes its live subfolders' names.
    void promiseLiveNames(Frame& frame, std::span<const fs::EntryRef> chain);
    std::string folderDestination(const std::string& parent, const std::string& name);
    SavedFile copyTo(fs::EntryRef file, const std::string& destination, const std::string& path);
    // A free destination for `name` in the frame's output folder, promised to it.
    std::string reserveDestination(const Frame& frame, const std::string& name);
    // The same in a folder this walk made, which holds only what the walk promised.
    std::string reserveInFreshFolder(const std::string& folder, const std::string& name);

    fs::FileSystemAdapter& adapter_;
    platform::UiSink& sink_;
    std::unique_ptr<CopyPool> pool_;
    PathSet reserved_;                              // destinations promised to files and folders of this walk
    std::unordered_set<std::string> freshFolders_;  // folders this walk created
};

// The Save button: confirmation with the file count, the walk, then the end message, which says
// how many files could not be written. False when the user declined or nothing was saved.
bool saveWithConfirmation(fs::FileSystemAdapter& adapter, platform::UiSink& sink, fs::EntryRef folder,
                          const std::string& outputFolder, SaveReport* report = nullptr);

}  // namespace vdrec::results
