#pragma once

#include <optional>

#include "commands.h"
#include "image/wizard_state.h"
#include "platform/headless_sink.h"

namespace vdrec::cli {

// Fills the wizard state as the first page would; false (the cause kept in the sink) on failure.
bool prepareState(const ImageOptions& options, image::WizardState& state, platform::HeadlessSink& sink);

// Prints the failure's cause (the first message shown, else `text`); returns kExitFailure.
int fail(platform::HeadlessSink& sink, std::string_view text);

}  // namespace vdrec::cli
