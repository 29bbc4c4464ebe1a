#include <cstdio>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "image/header_facts.h"
#include "image/image_kind.h"
#include "image_options.h"

namespace vdrec::cli {

namespace {

struct InfoArgs {
    ImageOptions image;
    bool json = false;
};

int runInfo(const InfoArgs& args) {
    platform::HeadlessSink sink;
    image::WizardState state;
    if (!prepareState(args.image, state, sink)) return fail(sink, "invalid handle ...");
    const auto facts = image::readHeaderFacts(state.imagePath, state.imageKind, sink);
    if (!facts) return fail(sink, "invalid handle ...");

    if (args.json) {
        nlohmann::ordered_json out;
        out["kind"] = std::string(image::kindName(facts->kind));
        out["fileFormatVersion"] = facts->fileFormatVersion;
        out["sectorsPerTrack"] = facts->sectorsPerTrack;
        out["heads"] = facts->heads;
        out["cylinders"] = facts->cylinders;
        out["sizeOfHddMB"] = facts->diskSizeMegabytes;
        if (facts->maximumTableEntries) out["maximumTableEntries"] = *facts->maximumTableEntries;
        std::printf("%s\n", out.dump().c_str());
        sink.printMessages();
        return kExitOk;
    }
    std::printf("Image kind: %s\n", std::string(image::kindName(facts->kind)).c_str());
    std::printf("File Format Version: %s\n", facts->fileFormatVersion.c_str());
    std::printf("Sector per track: %s\n", facts->sectorsPerTrack.c_str());
    std::printf("Head: %s\n", facts->heads.c_str());
    std::printf("Cylinder: %s\n", facts->cylinders.c_str());
    std::printf("Size of HDD: %llu MB\n", static_cast<unsigned long long>(facts->diskSizeMegabytes));
    if (facts->maximumTableEntries) std::printf("MAXIMUM TABLE ENTRIES: %u\n", *facts->maximumTableEntries);
    sink.printMessages();
    return kExitOk;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<InfoArgs>();
    CLI::App* command = app.add_subcommand("info", "Show the image's header facts");
    addImageOptions(*command, args->image, false);
    command->add_flag("--json", args->json, "One JSON object");
    command->callback([args, &status] { status = runInfo(*args); });
}

}  // namespace vdrec::cli
