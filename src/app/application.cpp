#include "app/application.h"

#include "app/pages/scan_mode_page.h"

namespace vdrec::app {

Application::Application(platform::UiSink& sink, const std::string& lockPath) : lock_(lockPath) {
    if (!lock_.alreadyRunning()) firstPage_ = std::make_unique<ImagePage>(state_, sink);
}

std::unique_ptr<Application> Application::start(platform::UiSink& sink, const std::string& lockPath) {
    std::unique_ptr<Application> application(new Application(sink, lockPath));
    if (application->lock_.alreadyRunning()) {
        sink.message(platform::kAnotherInstanceMessage);
        return nullptr;
    }
    return application;
}

}  // namespace vdrec::app
