#include <algorithm>
#include <cstdio>
#include <thread>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "entry_output.h"
#include "image_options.h"
#include "platform/folders.h"
#include "platform/text_format.h"
#include "results/save_walk.h"
#include "volume_selection.h"

namespace vdrec::cli {

namespace {

struct RecoverArgs {
    SelectionOptions selection;
    ModeOptions mode;
    std::string path;
    std::string outputFolder;
    bool json = false;
};

const char* statusText(results::SavedFile::Status status) {
    switch (status) {
        case results::SavedFile::Status::Ok: return "ok";
        case results::SavedFile::Status::Skipped: return "skipped";
        case results::SavedFile::Status::NoData: return "no data";
        case results::SavedFile::Status::Error: break;
    }
    return "error";
}

int runRecover(const RecoverArgs& args) {
    // A line per file: into a pipe or file, in large writes.
    static char lineBuffer[1 << 20];
    if (::isatty(STDOUT_FILENO) == 0) std::setvbuf(stdout, lineBuffer, _IOFBF, sizeof lineBuffer);
    platform::HeadlessSink sink;
    if (!platform::isFolder(args.outputFolder)) return fail(sink, "Please select valid output folder");
    OpenedVolume opened;
    if (!openVolume(args.selection, sink, opened) || !scanVolume(args.mode, sink, opened))
        return fail(sink, "file not opened..");
    fs::FileSystemAdapter& adapter = opened.session->adapter();
    const auto target = resolvePath(adapter, args.path);
    if (!target) return fail(sink, "No such path in the volume: " + args.path);

    uint64_t files = 0, failed = 0;
    auto report = [&](const results::SavedFile& saved) {
        ++files;
        if (saved.status == results::SavedFile::Status::Error || saved.status == results::SavedFile::Status::NoData) ++failed;
        if (saved.status == results::SavedFile::Status::NoData) sink.message(results::noDataMessage(saved.path));
        if (args.json) {
            nlohmann::ordered_json out;
            out["path"] = saved.path;
            out["output"] = saved.output;
            out["bytes"] = saved.bytes;
            out["status"] = statusText(saved.status);
            std::printf("%s\n", out.dump().c_str());
        } else {
            std::printf("%-7s %s -> %s\n", statusText(saved.status), saved.path.c_str(), saved.output.c_str());
        }
    };
    results::SaveWalk walk(adapter, sink);
    walk.onFile = report;
    // Saving many small files is bound by creating and closing them: overlap that.
    walk.parallelCopies = std::clamp(std::thread::hardware_concurrency(), 2u, 4u);

    std::string prefix = args.path;
    while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
    if (*target != fs::kNoEntry) {
        if (adapter.saveKind(*target) == fs::SaveKind::Folder) {
            walk.saveFolder(*target, args.outputFolder, prefix + "/");
        } else {
            report(walk.saveFile(*target, args.outputFolder, prefix));
        }
    } else {
        walk.saveVolume(args.outputFolder);
    }
    std::fflush(stdout);
    if (failed != 0) {
        sink.message(platform::format("work done. %llu of %llu files could not be written completely.",
                                      static_cast<unsigned long long>(failed), static_cast<unsigned long long>(files)));
        // Every cause, each file's first: the per-file lines on stdout may be piped away.
        sink.printMessages();
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

void addRecoverCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<RecoverArgs>();
    CLI::App* command = app.add_subcommand("recover", "Save files of a volume into a folder");
    addSelectionOptions(*command, args->selection);
    addModeOptions(*command, args->mode);
    command->add_option("--path", args->path, "Folder or file to save (names joined by \"/\"); default: everything");
    command->add_option("--out", args->outputFolder, "Output folder")->required();
    command->add_flag("--json", args->json, "One JSON object per file");
    command->callback([args, &status] { status = runRecover(*args); });
}

}  // namespace vdrec::cli
