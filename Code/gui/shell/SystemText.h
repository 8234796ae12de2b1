// The program's own texts — file and folder names, settings, the encoders'
// command lines, the companion library's strings — are UTF-8 on every system
// (the Windows edges convert to and from UTF-16 where they call the system).
// The windows convert at their edge with these, never through the local
// 8-bit code page, which on Windows is not UTF-8.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace tarquel::gui {

inline QString FromSystemText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToSystemText(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace tarquel::gui
