// vdrec-gui: the desktop wizard.

#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "dialog_host.h"
#include "platform/single_instance.h"
#include "screenshot_tour.h"
#include "wizard.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("vdrec-gui");
    QApplication::setApplicationDisplayName(vdrec::gui::applicationTitle());
    QApplication::setApplicationVersion(VDREC_VERSION);
    // Pages hide while the next one shows; only a confirmed close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList arguments = QApplication::arguments();
    const qsizetype tour = arguments.indexOf("--screenshot-tour");
    if (tour >= 0) {
        if (tour + 2 >= arguments.size()) {
            std::fprintf(stderr, "usage: vdrec-gui --screenshot-tour FOLDER IMAGE\n");
            return 2;
        }
        return vdrec::gui::runScreenshotTour(arguments[tour + 1], arguments[tour + 2]);
    }

    vdrec::gui::WidgetDialogs dialogs;
    vdrec::gui::Wizard wizard(dialogs, [] { QApplication::quit(); });
    if (!wizard.start(vdrec::platform::SingleInstance::defaultLockPath())) return 1;
    return QApplication::exec();
}
