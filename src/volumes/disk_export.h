#pragma once
// Writing the whole virtual disk, as its reader presents it, to a flat raw image.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "image/wizard_state.h"
#include "platform/ui_sink.h"

namespace vdrec::volumes {

inline constexpr uint64_t kExportChunkBytes = 5 * 1024 * 1024;
inline constexpr uint64_t kExportProgressStep = 10 * 1024 * 1024;

// "<folder>/<image file name>.img", or "<folder>/Recovered_diskimg.img" for a path that names
// no file; on a clash the first free "<folder>/<n><name>" for n = 1, 2, ...
std::string exportOutputPath(const std::string& imagePath, const std::string& folder);

class DiskExport {
public:
    enum class Outcome { Saved, Stopped, Failed };

    DiskExport(image::WizardState& state, platform::UiSink& sink) : state_(state), sink_(sink) {}

    // The worker: opens a fresh reader of the image's kind and copies every sector to `outputPath`.
    Outcome run(const std::string& outputPath);

    std::atomic<bool> stopRequested{false};
    // The page disables the commands that could start another operation while busy is true.
    std::function<void(bool busy)> onBusy;
    uint64_t bytesWritten() const { return bytesDone_; }

private:
    Outcome copy(const std::string& outputPath);

    image::WizardState& state_;
    platform::UiSink& sink_;
    uint64_t bytesDone_ = 0;
};

}  // namespace vdrec::volumes
