#pragma once
// The Help menu every page carries: the shipped help page, the product page and the About box.

#include <QString>
#include <QUrl>

class QPushButton;
class QWidget;

namespace vdrec::gui {

class DialogHost;

// The pages shipped in docs/help; the online addresses when they are not installed.
QUrl helpPageUrl();
QUrl productPageUrl();
QString aboutText();

// A "Help" menu button with "Help", "Software Homepage" and "About".
QPushButton* makeHelpButton(QWidget* parent, DialogHost& dialogs);

}  // namespace vdrec::gui
