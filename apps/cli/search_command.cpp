#include <cstdio>

#include "commands.h"
#include "entry_output.h"
#include "image_options.h"
#include "results/name_search.h"
#include "volume_selection.h"

namespace vdrec::cli {

namespace {

struct SearchArgs {
    SelectionOptions selection;
    ModeOptions mode;
    std::string pattern;
    bool json = false;
};

int runSearch(const SearchArgs& args) {
    platform::HeadlessSink sink;
    OpenedVolume opened;
    if (!openVolume(args.selection, sink, opened) || !scanVolume(args.mode, sink, opened))
        return fail(sink, "file not opened..");
    fs::FileSystemAdapter& adapter = opened.session->adapter();
    results::NameSearch search(opened.session->model(), sink);
    const std::string top = std::string(results::kTopItemText) + "/";
    search.onHit = [&](const results::SearchHit& hit) {
        const std::string path = hit.path.rfind(top, 0) == 0 ? hit.path.substr(top.size()) : hit.path;
        if (args.json) {
            std::string line;
            appendEntryJsonLine(line, adapter, hit.entry, path);
            std::fputs(line.c_str(), stdout);
        }
        else {
            std::printf("%s\n", entryLine(adapter, hit.entry, path).c_str());
        }
    };
    search.run(args.pattern);
    const auto& messages = sink.messages();
    if (!messages.empty() && messages.back() != "Searching Finished") return fail(sink, messages.back());
    return kExitOk;
}

}  // namespace

void addSearchCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<SearchArgs>();
    CLI::App* command = app.add_subcommand("search", "Find files by name (ECMAScript pattern, any case)");
    addSelectionOptions(*command, args->selection);
    addModeOptions(*command, args->mode);
    command->add_option("PATTERN", args->pattern, "Regular expression matched anywhere in each name")->required();
    command->add_flag("--json", args->json, "One JSON object per file found");
    command->callback([args, &status] { status = runSearch(*args); });
}

}  // namespace vdrec::cli
