#include "results/save_walk.h"

#include <unordered_set>

#include "platform/folders.h"
#include "platform/text_format.h"
#include "results/output_names.h"

namespace vdrec::results {

namespace {

// One folder being walked: its next child and where its files go.
struct Frame {
    fs::EntryRef next;
    std::string outputFolder;
    std::string path;
};

}  // namespace

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
    SavedFile saved;
    saved.path = path;
    const std::string destination = uniqueOutputPath(outputFolder, safeOutputName(adapter_.name(file)));
    sink_.status("saving File  " + destination);
    sink_.detailStatus("File size: " + adapter_.sizeStatusText(file));
    const fs::CopyResult result = adapter_.saveFile(file, destination);
    sink_.detailStatus("");
    saved.bytes = result.bytesWritten;
    saved.status = result.status == fs::CopyStatus::Ok ? SavedFile::Status::Ok : SavedFile::Status::Error;
    if (result.status != fs::CopyStatus::Failed || platform::pathExists(destination)) saved.output = destination;
    return saved;
}

SaveReport SaveWalk::saveFolder(fs::EntryRef folder, const std::string& outputFolder, const std::string& pathPrefix) {
    SaveReport report;
    std::unordered_set<fs::EntryRef> seen{folder};
    // Depth-first in link order without recursion: a deep or looping chain cannot exhaust the stack.
    std::vector<Frame> stack{{adapter_.firstChild(folder), outputFolder, pathPrefix}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const fs::EntryRef child = frame.next;
        if (child == fs::kNoEntry || !seen.insert(child).second) {
            stack.pop_back();
            continue;
        }
        frame.next = adapter_.nextSibling(child);
        if (!adapter_.isValid(child)) continue;
        sink_.progressPosition(static_cast<int64_t>(report.files));
        const std::string name = adapter_.name(child);
        switch (adapter_.saveKind(child)) {
            case fs::SaveKind::Folder: {
                if (name == ".") break;
                Frame inner{adapter_.firstChild(child), frame.outputFolder, frame.path};
                if (!name.empty()) {
                    inner.outputFolder = outputFolderFor(frame.outputFolder, safeOutputName(name));
                    inner.path = frame.path + name + "/";
                }
                stack.push_back(std::move(inner));
                break;
            }
            case fs::SaveKind::File: {
                ++report.files;
                SavedFile saved = saveFile(child, frame.outputFolder, frame.path + name);
                if (saved.status != SavedFile::Status::Ok) ++report.notWritten;
                if (onFile) onFile(saved);
                break;
            }
            case fs::SaveKind::CountedOnly: {
                ++report.files;
                SavedFile skipped;
                skipped.path = frame.path + name;
                skipped.status = SavedFile::Status::Skipped;
                if (onFile) onFile(skipped);
                break;
            }
            case fs::SaveKind::Skipped: break;
        }
    }
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
