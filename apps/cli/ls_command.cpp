#include <cstdio>
#include <string_view>

#include "commands.h"
#include "entry_output.h"
#include "fs/entry_set.h"
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

    // Depth first in link order; every entry once, even when on-disk links loop.
    struct Frame {
        std::vector<fs::EntryRef> children;
        size_t next;
        std::string prefix;
    };
    fs::EntrySet seen;
    if (*target != fs::kNoEntry) seen.insert(*target);
    std::vector<Frame> stack{{childrenOf(adapter, *target), 0, prefix}};
    std::string path;  // reused: the frame's prefix, then the entry's name
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.children.size()) {
            stack.pop_back();
            continue;
        }
        const fs::EntryRef entry = frame.children[frame.next++];
        if (!seen.insert(entry)) continue;
        path.assign(frame.prefix);
        adapter.appendName(entry, path);
        printer.print(adapter, entry, path, std::string_view(path).substr(frame.prefix.size()));
        if (args.recursive && adapter.isFolder(entry))
            stack.push_back({childrenOf(adapter, entry), 0, path + "/"});
    }
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
