#include <cstdio>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "image_options.h"
#include "volumes/volume_scan.h"

namespace vdrec::cli {

namespace {

struct VolumesArgs {
    ImageOptions image;
    bool gpt = false;
    bool advanced = false;
    int64_t from = 0;
    int64_t to = 0;
    bool noSkip = false;
    bool json = false;
};

int runVolumes(const VolumesArgs& args) {
    platform::HeadlessSink sink;
    image::WizardState state;
    if (!prepareState(args.image, state, sink)) return fail(sink, "invalid handle ...");
    volumes::ScanOptions options;
    options.advanced = args.advanced;
    options.gptDisk = args.gpt;
    options.doNotSkip = args.noSkip;
    options.rangeFirst = args.from;
    options.rangeLast = args.to;
    const auto records = volumes::scanVolumes(state, sink, options);
    if (!records) return fail(sink, "file not opened..");

    if (!args.json) std::printf("%-8s %-30s %-14s %s\n", "VOLUME", "FILE_SYSTEM", "VOLUME_SIZE", "START_SECTOR");
    for (const auto& record : *records) {
        if (args.json) {
            nlohmann::ordered_json out;
            out["volume"] = record.label;
            out["fileSystem"] = record.fileSystem;
            out["sizeText"] = record.sizeText;
            out["startSector"] = record.startSector;
            std::printf("%s\n", out.dump().c_str());
        } else {
            std::printf("%-8s %-30s %-14s %lld\n", record.label.c_str(), record.fileSystem.c_str(),
                        record.sizeText.c_str(), static_cast<long long>(record.startSector));
        }
    }
    sink.printMessages();
    return kExitOk;
}

}  // namespace

void addVolumesCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<VolumesArgs>();
    CLI::App* command = app.add_subcommand("volumes", "List the volumes of the disk");
    addImageOptions(*command, args->image, true);
    command->add_flag("--gpt", args->gpt, "Read the GPT entries (\"GPT format\")");
    CLI::Option* advanced = command->add_flag("--advanced", args->advanced, "Scan every sector for volumes");
    command->add_option("--from", args->from, "First sector of the advanced scan")->needs(advanced);
    command->add_option("--to", args->to, "Last sector of the advanced scan")->needs(advanced);
    command->add_flag("--no-skip", args->noSkip, "Do not jump over volumes found by the advanced scan")->needs(advanced);
    command->add_flag("--json", args->json, "One JSON object per volume");
    command->callback([args, &status] { status = runVolumes(*args); });
}

}  // namespace vdrec::cli
