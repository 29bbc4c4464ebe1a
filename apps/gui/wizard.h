#pragma once
// The running wizard: the dialogs, the one sink, the application's controllers and the chain of
// page windows, torn down windows first, then the controllers (joining their workers).

#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "page_window.h"
#include "qt_sink.h"

namespace vdrec::app {
class Application;
}

namespace vdrec::gui {

class DialogHost;
class ImagePage;

class Wizard {
public:
    // `quit` ends the event loop once the user confirmed closing.
    Wizard(DialogHost& dialogs, std::function<void()> quit);
    ~Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // Shows the first page; false when another instance runs (the user was told).
    bool start(const std::string& lockPath);

    QtSink& sink() { return sink_; }
    DialogHost& dialogs() { return dialogs_; }
    app::Application& application() { return *application_; }
    ImagePage* firstWindow() { return firstWindow_.get(); }
    // The page window the user sees.
    PageWindow* currentWindow() const { return current_; }
    void setCurrent(PageWindow* page) { current_ = page; }

    bool ending() const { return ending_; }
    // A page's close was confirmed: the product page opens and the application ends.
    void endApplication();

private:
    DialogHost& dialogs_;
    QtSink sink_;
    std::function<void()> quit_;
    std::unique_ptr<app::Application> application_;
    std::unique_ptr<ImagePage> firstWindow_;
    QPointer<PageWindow> current_;
    bool ending_ = false;
};

}  // namespace vdrec::gui
