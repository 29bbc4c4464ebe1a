#pragma once
// One volume scan as the volume page runs it: a fresh reader of the image's kind, opened on the
// image, then the standard or the advanced scan. Shared by the wizard and the command line.

#include <optional>
#include <vector>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"
#include "volumes/partition.h"

namespace vdrec::volumes {

struct ScanOptions {
    bool advanced = false;
    bool gptDisk = false;
    bool doNotSkip = false;
    int64_t rangeFirst = 0;
    int64_t rangeLast = 0;
};

// Replaces state.reader with a fresh reader of state.imageKind and opens state.imagePath;
// shows "file not opened.." and returns false when that fails.
bool provideReader(image::WizardState& state, platform::UiSink& sink);

// nullopt when the image could not be opened (the message was shown). Records carry their
// index as label, in discovery order.
std::optional<std::vector<VolumeEntry>> scanVolumes(image::WizardState& state, platform::UiSink& sink,
                                                    const ScanOptions& options, Partition* scanner = nullptr);

}  // namespace vdrec::volumes
