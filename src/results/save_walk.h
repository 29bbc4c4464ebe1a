#pragma once
// Saving: a folder with everything below it, or one file, into a folder the user chose.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fs/file_system_adapter.h"
#include "platform/ui_sink.h"

namespace vdrec::results {

struct SavedFile {
    enum class Status { Ok, Skipped, Error };
    std::string path;    // names below the walked folder joined by "/"
    std::string output;  // where it was written ("" when nothing was)
    uint64_t bytes = 0;
    Status status = Status::Error;
};

struct SaveReport {
    uint64_t files = 0;       // files met, as counted for the confirmation
    uint64_t notWritten = 0;  // failed or short copies
};

class SaveWalk {
public:
    SaveWalk(fs::FileSystemAdapter& adapter, platform::UiSink& sink) : adapter_(adapter), sink_(sink) {}

    // Files below `folder` that saving would handle ("$BadClus" included).
    uint64_t countFiles(fs::EntryRef folder) const;
    // Saves the children of `folder` into `outputFolder` (the folder itself gets no folder).
    // `pathPrefix` starts every SavedFile::path (empty, or a path ending in "/").
    SaveReport saveFolder(fs::EntryRef folder, const std::string& outputFolder, const std::string& pathPrefix = "");
    // Saves one file into `outputFolder`.
    SavedFile saveFile(fs::EntryRef file, const std::string& outputFolder, const std::string& path);

    // Called for every file the walk handles, in walk order.
    std::function<void(const SavedFile&)> onFile;

private:
    fs::FileSystemAdapter& adapter_;
    platform::UiSink& sink_;
};

// The Save button: confirmation with the file count, the walk, then the end message, which says
// how many files could not be written. False when the user declined or nothing was saved.
bool saveWithConfirmation(fs::FileSystemAdapter& adapter, platform::UiSink& sink, fs::EntryRef folder,
                          const std::string& outputFolder, SaveReport* report = nullptr);

}  // namespace vdrec::results
