#pragma once
// The image page, the wizard's first: the image file, its kind and header facts, and the size
// overrides. Its view is apps/gui/image_page.h.

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"

namespace vdrec::app {

class ScanModePage;

// One entry of the file-open dialog's filter.
struct FileFilter {
    std::string_view label;
    std::string_view pattern;
};
// "Dynamic Disk" offers the containers; "Fixed Disk" raw disk images of any usual name.
inline constexpr FileFilter kDynamicImageFilters[] = {{"VHD Files (*.vhd)", "*.vhd"},
                                                      {"VDI Files (*.vdi)", "*.vdi"},
                                                      {"VMDK Files (*.vmdk)", "*.vmdk"},
                                                      {"All Files (*.*)", "*"}};
inline constexpr FileFilter kFixedImageFilters[] = {
    {"Raw Disk Images (*.img *.raw *.dd *.bin *.vhd)", "*.img *.raw *.dd *.bin *.vhd"}, {"All Files (*.*)", "*"}};

class ImagePage {
public:
    ImagePage(image::WizardState& state, platform::UiSink& sink);
    ~ImagePage();
    ImagePage(const ImagePage&) = delete;
    ImagePage& operator=(const ImagePage&) = delete;

    // --- commands ---
    void selectDynamic();
    void selectFixed();
    // The "..." button's file-open dialog answered with `path`; an empty path is a cancel.
    void chooseFile(const std::string& path);
    // Digits only, as the number fields take; false leaves the field as it was.
    bool setDiskSize(std::string_view text);
    bool setTableEntries(std::string_view text);
    // Creates the mode page and hides this one; null when a check refused.
    ScanModePage* next();
    // The close box and Escape: true when the user confirmed and the application should end.
    bool close();
    bool escape() { return close(); }
    // Enter never quits; only close does, after its question.
    void enter() {}

    ScanModePage* modePage() { return modePage_.get(); }
    // The "..." dialog's filters for the selected radio.
    std::span<const FileFilter> fileFilters() const;

    // --- what the view shows ---
    bool dynamicSelected = true;  // "Dynamic Disk"; "Fixed Disk" otherwise
    std::string path;             // "File Path:" (read-only)
    bool pathEnabled = false;
    bool nextEnabled = false;
    bool factsVisible = false;  // the labels and fields of "File Information:"
    bool tableEntriesVisible = false;
    std::string fileFormatVersion;  // "File Format Version:"
    std::string sectorsPerTrack;    // "Sector per track:"
    std::string heads;              // "Head:"
    std::string cylinders;          // "Cylinder:"
    std::string diskSizeText;       // "Size of HDD:", megabytes
    std::string tableEntriesText;   // "MAXIMUM TABLE ENTRIES:"
    bool visible = true;
    // The kind the chosen file will be read as.
    image::ImageKind imageKind() const { return state_.imageKind; }

private:
    void clearFile();
    std::optional<image::ImageKind> kindFor(const std::string& chosen);

    image::WizardState& state_;
    platform::UiSink& sink_;
    std::unique_ptr<ScanModePage> modePage_;
};

}  // namespace vdrec::app
