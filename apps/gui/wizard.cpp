#include "wizard.h"

#include "app/application.h"
#include "dialog_host.h"
#include "image_page.h"
#include "help_pages.h"

namespace vdrec::gui {

Wizard::Wizard(DialogHost& dialogs, std::function<void()> quit)
    : dialogs_(dialogs), sink_(dialogs), quit_(std::move(quit)) {}

Wizard::~Wizard() {
    // The controllers' workers may still report while they are joined: nobody is asked anything
    // any more, and the windows they reported to are gone first.
    sink_.setQuiet(true);
    firstWindow_.reset();
    application_.reset();
}

bool Wizard::start(const std::string& lockPath) {
    application_ = app::Application::start(sink_, lockPath);
    if (!application_) return false;
    firstWindow_ = std::make_unique<ImagePage>(*this, application_->firstPage());
    firstWindow_->present();
    return true;
}

void Wizard::endApplication() {
    if (ending_) return;
    ending_ = true;
    sink_.setQuiet(true);
    dialogs_.openUrl(productPageUrl());
    if (quit_) quit_();
}

}  // namespace vdrec::gui
