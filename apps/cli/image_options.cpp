#include "image_options.h"

#include "image/image_kind.h"
#include "platform/folders.h"

namespace vdrec::cli {

void addImageOptions(CLI::App& command, ImageOptions& options, bool withOverrides) {
    command.add_option("IMAGE", options.image, "Disk image: raw, fixed or dynamic VHD, VDI or VMDK")->required();
    command.add_option("--kind", options.kind, "Image kind instead of detecting it")
        ->check(CLI::IsMember({"raw", "vhd", "vdi", "vmdk"}));
    if (!withOverrides) return;
    command.add_option("--disk-size", options.diskSizeMegabytes, "Disk size in MB (the first page's \"Size of HDD:\")");
    command.add_option("--table-entries", options.tableEntries,
                       "Block-table entries of a dynamic VHD (\"MAXIMUM TABLE ENTRIES:\")");
}

int fail(platform::HeadlessSink& sink, std::string_view text) {
    sink.printFailure(text);
    return kExitFailure;
}

bool prepareState(const ImageOptions& options, image::WizardState& state, platform::HeadlessSink& sink) {
    if (!platform::pathExists(options.image)) {
        sink.message("Please select valid path to continue the recovery process.");
        return false;
    }
    std::optional<image::ImageKind> kind =
        options.kind.empty() ? image::detectImageKind(options.image) : image::parseKindName(options.kind);
    if (!kind) {
        sink.message("invalid handle ...");
        return false;
    }
    state.imagePath = options.image;
    state.imageKind = *kind;
    state.enteredDiskSize = options.diskSizeMegabytes.value_or(0) * 1024 * 1024;
    state.enteredTableEntries = options.tableEntries.value_or(0);
    return true;
}

}  // namespace vdrec::cli
