#include <cstdio>
#include <string_view>

#include "commands.h"
#include "entry_output.h"
#include "fs/entry_walk.h"
#include "image_options.h"
#include "volume_selection.h"

namespace vdrec::cli {

namespace {

struct LsArgs {
    SelectionOptions selection;
    ModeOptions mode;
    std::string path;
    bool recursive = false;
    bool json = false;
};

// Output is gathered and written in large pieces.
struct Printer {
    bool json;
    std::string pending;
    fs::ListTexts texts;  // reused between lines
    void print(fs::FileSystemAdapter& adapter, fs::EntryRef entry, const std::string& path, std::string_view name) {
        if (json) {
            appendEntryJsonLine(pending, adapter, entry, path, name, texts);
        } else {
            pending += entryLine(adapter, entry, path);
            pending += '\n';
        }
        if (pending.size() >= (1 << 16)) flush();
    }
    void flush() {
        std::fwrite(pending.data(), 1, pending.size(), stdout);
        pending.clear();
    }
    ~Printer() { flush(); }
};

// Every entry below the listed folder with its path, folders before what they hold.
class LsVisitor final : public fs::EntryVisitor {
public:
    LsVisitor(fs::FileSystemAdapter& adapter, Printer& printer, bool recursive, const std::string& prefix)
        : adapter_(adapter), printer_(printer), recursive_(recursive), path_(prefix), prefixEnds_{prefix.size()} {}

    fs::WalkStep visit(fs::EntryRef entry, bool) override {
        // One path buffer for the walk: the folder's prefix, then the entry's name.
        const size_t prefixEnd = prefixEnds_.back();
        path_.resize(prefixEnd);
        adapter_.appendName(entry, path_);
        printer_.print(adapter_, entry, path_, std::string_view(path_).substr(prefixEnd));
        if (!recursive_ || !adapter_.isFolder(entry)) return fs::WalkStep::Next;
        path_ += '/';
        prefixEnds_.push_back(path_.size());
        return fs::WalkStep::Descend;
    }
    void endFolder(fs::EntryRef) override { prefixEnds_.pop_back(); }

private:
    fs::FileSystemAdapter& adapter_;
    Printer& printer_;
    bool recursive_;
    std::string path_;
    std::vector<size_t> prefixEnds_;
};

int runLs(const LsArgs& args) {
    platform::HeadlessSink sink;
    OpenedVolume opened;
    if (!openVolume(args.selection, sink, opened) || !scanVolume(args.mode, sink, opened))
        return fail(sink, "file not opened..");
    fs::FileSystemAdapter& adapter = opened.session->adapter();
    const auto target = resolvePath(adapter, args.path);
    if (!target) return fail(sink, "No such path in the volume: " + args.path);

    std::string prefix = args.path;
    while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
    if (!prefix.empty()) prefix += "/";
    Printer printer{args.json, {}, {}};
    if (*target != fs::kNoEntry && !adapter.isFolder(*target)) {
        printer.print(adapter, *target, args.path, adapter.name(*target));
        return kExitOk;
    }

    LsVisitor visitor(adapter, printer, args.recursive, prefix);
    fs::walkEntries(adapter, *target, visitor);
    return kExitOk;
}

}  // namespace

void addLsCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<LsArgs>();
    CLI::App* command = app.add_subcommand("ls", "List the files and folders of a volume");
    addSelectionOptions(*command, args->selection);
    addModeOptions(*command, args->mode);
    command->add_option("--path", args->path, "Folder to list (names joined by \"/\")");
    command->add_flag("-r,--recursive", args->recursive, "Everything below, deleted entries included");
    command->add_flag("--json", args->json, "One JSON object per entry");
    command->callback([args, &status] { status = runLs(*args); });
}

}  // namespace vdrec::cli
