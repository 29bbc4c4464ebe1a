#pragma once
// A hidden driver for the documentation: walks every page on an image with scripted answers and
// grabs each window into a PNG.

#include <QString>

namespace vdrec::gui {

// 0 when every page was reached and saved into `folder` as <n>-<page>.png.
int runScreenshotTour(const QString& folder, const QString& image);

}  // namespace vdrec::gui
