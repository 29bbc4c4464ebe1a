#include "app/pages/image_page.h"

#include "app/page_texts.h"
#include "app/pages/scan_mode_page.h"
#include "image/header_facts.h"
#include "image/image_kind.h"
#include "image/vhd_reader.h"
#include "platform/folders.h"
#include "platform/number_field.h"
#include "platform/text_format.h"

namespace vdrec::app {

namespace {

// Megabytes that still fit in bytes as uint64_t; the table length fits in 32 bits.
constexpr size_t kDiskSizeDigits = 12;
constexpr size_t kTableEntriesDigits = 10;

}  // namespace

ImagePage::ImagePage(image::WizardState& state, platform::UiSink& sink) : state_(state), sink_(sink) {}

ImagePage::~ImagePage() = default;

void ImagePage::clearFile() {
    path.clear();
    nextEnabled = false;
    factsVisible = tableEntriesVisible = false;
    fileFormatVersion = sectorsPerTrack = heads = cylinders = diskSizeText = tableEntriesText = "";
}

void ImagePage::selectDynamic() {
    dynamicSelected = true;
    clearFile();
}

void ImagePage::selectFixed() {
    dynamicSelected = false;
    clearFile();
}

std::span<const FileFilter> ImagePage::fileFilters() const {
    if (dynamicSelected) return kDynamicImageFilters;
    return kFixedImageFilters;
}

// The file's content decides the kind, never its name or the radio: a dynamic VHD named
// disk.bin is a dynamic VHD, and a raw disk.img or a fixed VHD (footer at the end) is raw. A
// file named as a VDI or VMDK whose header is not one is a damaged container, not a raw disk,
// so it is refused rather than read as raw.
std::optional<image::ImageKind> ImagePage::kindFor(const std::string& chosen) {
    const auto content = image::detectImageKind(chosen);
    if (!content) {
        sink_.message("invalid handle ...");
        return std::nullopt;
    }
    const auto endsWith = [&](std::string_view extension) {
        return chosen.size() > extension.size() && image::hasExtension(chosen, extension);
    };
    if (*content == image::ImageKind::Vdi || *content == image::ImageKind::Vmdk) return content;
    if (*content == image::ImageKind::DynamicVhd) {
        dynamicSelected = true;
        return content;
    }
    if (endsWith(".vdi")) {
        sink_.message("Please select valid vdi file to continue the recovery process.");
        return std::nullopt;
    }
    if (endsWith(".vmdk")) {
        sink_.message("Please select valid vmdk file to continue the recovery process.");
        return std::nullopt;
    }
    dynamicSelected = false;
    return image::ImageKind::Raw;
}

void ImagePage::chooseFile(const std::string& chosen) {
    if (chosen.empty()) return;
    clearFile();
    const auto kind = kindFor(chosen);
    if (!kind) return;
    const auto facts = image::readHeaderFacts(chosen, *kind, sink_);
    // A refused file leaves the page as if none was chosen, so that Next cannot go on with the
    // facts of an earlier one.
    if (!facts) return;
    state_.imagePath = chosen;
    state_.imageKind = *kind;
    path = chosen;
    nextEnabled = true;
    fileFormatVersion = facts->fileFormatVersion;
    sectorsPerTrack = facts->sectorsPerTrack;
    heads = facts->heads;
    cylinders = facts->cylinders;
    diskSizeText = platform::format("%llu", static_cast<unsigned long long>(facts->diskSizeMegabytes));
    factsVisible = true;
    tableEntriesVisible = facts->maximumTableEntries.has_value();
    if (facts->maximumTableEntries) tableEntriesText = platform::format("%u", *facts->maximumTableEntries);
}

bool ImagePage::setDiskSize(std::string_view text) {
    if (!platform::isNumberFieldText(text, kDiskSizeDigits)) return false;
    diskSizeText = text;
    return true;
}

bool ImagePage::setTableEntries(std::string_view text) {
    if (!platform::isNumberFieldText(text, kTableEntriesDigits)) return false;
    const auto value = platform::numberFieldValue(text);
    if (value && *value > UINT32_MAX) return false;
    tableEntriesText = text;
    return true;
}

ScanModePage* ImagePage::next() {
    if (path.empty() || !platform::pathExists(path)) {
        sink_.message("Please select valid path to continue the recovery process.");
        return nullptr;
    }
    if (diskSizeText.empty()) {
        sink_.message("Hard disk Size cannot be left blank.");
        return nullptr;
    }
    const bool dynamicVhd = state_.imageKind == image::ImageKind::DynamicVhd;
    if (dynamicVhd && tableEntriesText.empty()) {
        sink_.message("Maximum Table Entries Field cannot be left blank.");
        return nullptr;
    }
    ScanModePage::ImageChoice choice;
    choice.imagePath = path;
    choice.diskSizeMegabytes = platform::numberFieldValue(diskSizeText).value_or(0);
    if (dynamicVhd) choice.tableEntries = static_cast<uint32_t>(platform::numberFieldValue(tableEntriesText).value_or(0));
    modePage_.reset();
    modePage_ = std::make_unique<ScanModePage>(state_, sink_, choice, [this] {
        modePage_.reset();
        visible = true;
    });
    visible = false;
    return modePage_.get();
}

bool ImagePage::close() { return sink_.question(kCloseQuestion); }

}  // namespace vdrec::app
