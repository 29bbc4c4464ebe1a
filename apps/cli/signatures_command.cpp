#include <cstdio>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "image_options.h"
#include "platform/folders.h"
#include "platform/text_format.h"
#include "raw/signature_file.h"
#include "raw/signature_form.h"

namespace vdrec::cli {

namespace {

struct AddArgs {
    std::string file;
    raw::SignatureForm form;
};

struct ListArgs {
    std::string file;
    bool json = false;
};

std::string hexList(const std::array<uint8_t, raw::kMaxSignatureBytes>& bytes, size_t length) {
    std::string text;
    for (size_t i = 0; i < std::min(length, bytes.size()); ++i) {
        if (i) text += ',';
        text += platform::format("%02X", bytes[i]);
    }
    return text;
}

int runAdd(const AddArgs& args) {
    platform::HeadlessSink sink;
    // The editor empties a file when it is chosen; here an existing file is added to.
    if (!platform::pathExists(args.file) && !raw::createSignatureFile(args.file))
        return fail(sink, raw::kSignatureFileNotCreated);
    if (!raw::appendSignature(args.file, args.form, sink)) return fail(sink, "");
    sink.forgetMessages();
    return kExitOk;
}

int runList(const ListArgs& args) {
    platform::HeadlessSink sink;
    const auto records = raw::readSignatureFile(args.file, raw::SignatureFileRole::User, sink);
    if (!records) return fail(sink, "");
    for (size_t i = 0; i < records->size(); ++i) {
        const raw::SignatureRecord& r = (*records)[i];
        const std::string start = hexList(r.startSignature, r.startLength);
        const std::string end = hexList(r.endSignature, r.endLength);
        if (args.json) {
            nlohmann::ordered_json out;
            out["record"] = i;
            out["extension"] = r.extension;
            out["start"] = start;
            out["startOffset"] = r.startOffset;
            out["end"] = end;
            out["sizeOffset"] = r.sizeFieldOffset;
            out["sizeWidth"] = r.sizeFieldWidth;
            out["headerSize"] = r.headerSize;
            out["sizeIncludesHeader"] = r.sizeIncludesHeader;
            out["approximateSize"] = r.approximateSize;
            out["skipSize"] = r.skipSize;
            out["category"] = r.category;
            std::printf("%s\n", out.dump().c_str());
        } else {
            std::printf("%-4zu %-7s %-30s %-30s %s\n", i, r.extension.c_str(),
                        (start + (r.startOffset ? platform::format(" @%d", r.startOffset) : "")).c_str(),
                        end.empty() ? "-" : end.c_str(), r.category.c_str());
        }
    }
    return kExitOk;
}

}  // namespace

void addSignaturesCommand(CLI::App& app, int& status) {
    CLI::App* command = app.add_subcommand("signatures", "Make and read signature files for `carve`");
    command->require_subcommand(1);

    auto add = std::make_shared<AddArgs>();
    CLI::App* addCommand = command->add_subcommand("add", "Append one signature to FILE (created when missing)");
    raw::SignatureForm& form = add->form;
    addCommand->add_option("FILE", add->file, "Signature file")->required();
    addCommand->add_option("--ext", form.extension, "File extension, without a dot (\"File Extention :\")")->required();
    addCommand->add_option("--start", form.startSignature, "Starting signature: hex bytes separated by commas")->required();
    addCommand->add_option("--start-offset", form.startOffset, "Offset of the starting signature in its sector");
    addCommand->add_option("--end", form.endSignature, "Ending signature: hex bytes separated by commas");
    addCommand->add_option("--size-offset", form.sizeFieldOffset, "Offset to the size field");
    addCommand->add_option("--size-width", form.sizeFieldWidth, "Bytes in the size field");
    addCommand->add_flag("--size-includes-header", form.sizeIncludesHeader, "The size includes the header size");
    addCommand->add_option("--header-size", form.headerSize, "Header size in bytes");
    addCommand->add_option("--skip", form.skipSize, "Bytes to skip after a find");
    addCommand->add_option("--approx", form.approximateSize, "Approximate file size in bytes");
    addCommand->add_option("--category", form.category, "Category the finds are put under");
    addCommand->callback([add, &status] { status = runAdd(*add); });

    auto list = std::make_shared<ListArgs>();
    CLI::App* listCommand = command->add_subcommand("list", "List the signatures of FILE");
    listCommand->add_option("FILE", list->file, "Signature file")->required();
    listCommand->add_flag("--json", list->json, "One JSON object per signature");
    listCommand->callback([list, &status] { status = runList(*list); });
}

}  // namespace vdrec::cli
