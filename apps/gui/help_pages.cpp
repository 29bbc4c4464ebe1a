#include "help_pages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

#include "app/app_info.h"
#include "dialog_host.h"

namespace vdrec::gui {

namespace {

// Beside the program in the build tree (build/vdrec-gui, docs/help), in an installed tree, or in
// the source tree the program was built from.
QUrl shippedPage(const QString& name, std::string_view online) {
    const QString here = QCoreApplication::applicationDirPath();
    const QString candidates[] = {qEnvironmentVariable("VDREC_HELP_DIR"), here + "/../docs/help",
                                  here + "/../share/vdrec/help", QStringLiteral(VDREC_SOURCE_HELP_DIR)};
    for (const QString& folder : candidates) {
        if (folder.isEmpty()) continue;
        const QFileInfo page(QDir(folder).filePath(name));
        if (page.isFile()) return QUrl::fromLocalFile(page.canonicalFilePath());
    }
    return QUrl(QString::fromUtf8(online.data(), static_cast<qsizetype>(online.size())));
}

}  // namespace

QUrl helpPageUrl() { return shippedPage("help.html", app::kOnlineHelpPage); }
QUrl productPageUrl() { return shippedPage("index.html", app::kProductWebPage); }

QString aboutText() {
    return QStringLiteral("<b>%1</b><br>Version %2<br><br>Recovers files from virtual hard-disk images.")
        .arg(applicationTitle(), QStringLiteral(VDREC_VERSION));
}

QPushButton* makeHelpButton(QWidget* parent, DialogHost& dialogs) {
    auto* button = new QPushButton("Help", parent);
    button->setObjectName("help");
    auto* menu = new QMenu(button);
    menu->addAction("Help", parent, [&dialogs] { dialogs.openUrl(helpPageUrl()); });
    menu->addAction("Software Homepage", parent, [&dialogs] { dialogs.openUrl(productPageUrl()); });
    menu->addAction("About", parent, [&dialogs, parent] { dialogs.about(parent, aboutText()); });
    button->setMenu(menu);
    return button;
}

}  // namespace vdrec::gui
