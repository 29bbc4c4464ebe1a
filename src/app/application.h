#pragma once
// Start-up: the single-instance lock, the wizard state and the first page, alive together for
// the life of the process.

#include <memory>
#include <string>

#include "app/pages/image_page.h"
#include "image/wizard_state.h"
#include "platform/single_instance.h"
#include "platform/ui_sink.h"

namespace vdrec::app {

class Application {
public:
    // Null after showing "Another instance of application is already running" when another
    // process holds the lock.
    static std::unique_ptr<Application> start(platform::UiSink& sink,
                                              const std::string& lockPath = platform::SingleInstance::defaultLockPath());

    ImagePage& firstPage() { return *firstPage_; }
    image::WizardState& state() { return state_; }

private:
    Application(platform::UiSink& sink, const std::string& lockPath);

    // In this order so that the pages (and their workers) go first, then the state they use,
    // and the lock last.
    platform::SingleInstance lock_;
    image::WizardState state_;
    std::unique_ptr<ImagePage> firstPage_;
};

}  // namespace vdrec::app
