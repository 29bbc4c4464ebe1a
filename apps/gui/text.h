#pragma once
// Controller texts are UTF-8 std::string; widgets take QString.

#include <QString>
#include <string>
#include <string_view>

namespace vdrec::gui {

inline QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string utf8(const QString& text) { return text.toStdString(); }

}  // namespace vdrec::gui
