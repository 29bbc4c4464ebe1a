#include <cstdio>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "image_options.h"
#include "volume_selection.h"

namespace vdrec::cli {

namespace {

struct AnchorsArgs {
    SelectionOptions selection;
    int max = 3;
    bool json = false;
};

int runAnchors(const AnchorsArgs& args) {
    platform::HeadlessSink sink;
    OpenedVolume opened;
    if (!openVolume(args.selection, sink, opened)) return fail(sink, "file not opened..");
    opened.session->findAnchors(args.max < 1 ? 3 : args.max);
    auto anchors = opened.session->anchors();
    if (anchors.empty()) return fail(sink, "No File system Entry Found.Process cannot be continue...");
    // exFAT: the cluster-heap anchors follow, for --heap.
    for (const auto& heap : opened.session->heapAnchors()) anchors.push_back(heap);
    for (const auto& anchor : anchors) {
        if (args.json) {
            nlohmann::ordered_json out;
            out["index"] = anchor.index;
            out["text"] = anchor.text;
            out["sector"] = anchor.sector;
            std::printf("%s\n", out.dump().c_str());
        } else {
            std::printf("%zu  %s  sector %llu\n", anchor.index, anchor.text.c_str(),
                        static_cast<unsigned long long>(anchor.sector));
        }
    }
    return kExitOk;
}

}  // namespace

void addAnchorsCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<AnchorsArgs>();
    CLI::App* command = app.add_subcommand("anchors", "Find copies of the file system's tables (advanced mode)");
    addSelectionOptions(*command, args->selection);
    command->add_option("--max", args->max, "How many to find (default 3)");
    command->add_flag("--json", args->json, "One JSON object per anchor");
    command->callback([args, &status] { status = runAnchors(*args); });
}

}  // namespace vdrec::cli
