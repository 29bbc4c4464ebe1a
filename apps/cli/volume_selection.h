#pragma once
// What the commands that read one volume share: which volume (SEL), how to scan it (MODE), and
// a scanned volume ready for listing, saving and search.

#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "image/wizard_state.h"
#include "platform/headless_sink.h"
#include "results/scan_session.h"
#include "volumes/volume_entry.h"
#include "volumes/volume_scan.h"

namespace vdrec::cli {

struct SelectionOptions {
    ImageOptions image;
    volumes::ScanOptions scan;
    std::optional<std::string> volumeLabel;
    std::optional<int64_t> startSector;
    std::optional<int64_t> endSector;
    std::string fileSystem;
};

struct ModeOptions {
    std::string mode = "standard";
    size_t anchor = 0;
    std::optional<int> cluster;
    int maxAnchors = 3;
    size_t heap = 0;
    bool formatted = false;
};

void addSelectionOptions(CLI::App& command, SelectionOptions& options);
void addModeOptions(CLI::App& command, ModeOptions& options);

struct OpenedVolume {
    image::WizardState state;
    volumes::VolumeEntry volume;
    std::unique_ptr<results::ScanSession> session;
};

// Opens the image and picks the volume (fitted to the disk); false after a message.
bool selectVolume(const SelectionOptions& options, platform::HeadlessSink& sink, OpenedVolume& opened);
// selectVolume, then creates the volume's scan session; false after a message.
bool openVolume(const SelectionOptions& options, platform::HeadlessSink& sink, OpenedVolume& opened);
// Runs the scan in the chosen mode (the anchor search first for Advanced); false after a message.
bool scanVolume(const ModeOptions& mode, platform::HeadlessSink& sink, OpenedVolume& opened);

}  // namespace vdrec::cli
