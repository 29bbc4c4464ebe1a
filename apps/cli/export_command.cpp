#include <cstdio>

#include "commands.h"
#include "image_options.h"
#include "platform/folders.h"
#include "volumes/disk_export.h"

namespace vdrec::cli {

namespace {

struct ExportArgs {
    ImageOptions image;
    std::string outputFolder;
};

int runExport(const ExportArgs& args) {
    platform::HeadlessSink sink;
    image::WizardState state;
    if (!prepareState(args.image, state, sink)) return fail(sink, "invalid handle ...");
    if (!platform::isFolder(args.outputFolder)) return fail(sink, "Please choose a folder.");
    const std::string outputPath = volumes::exportOutputPath(state.imagePath, args.outputFolder);
    volumes::DiskExport worker(state, sink);
    const auto outcome = worker.run(outputPath);
    if (outcome == volumes::DiskExport::Outcome::Failed) return fail(sink, "file not opened..");
    std::printf("%s\n", outputPath.c_str());
    sink.printMessages();
    return kExitOk;
}

}  // namespace

void addExportCommand(CLI::App& app, int& status) {
    auto args = std::make_shared<ExportArgs>();
    CLI::App* command = app.add_subcommand("export", "Write the whole virtual disk as a raw image into OUTDIR");
    command->add_option("IMAGE", args->image.image, "Disk image")->required();
    command->add_option("OUTDIR", args->outputFolder, "Folder for the raw image")->required();
    command->callback([args, &status] { status = runExport(*args); });
}

}  // namespace vdrec::cli
