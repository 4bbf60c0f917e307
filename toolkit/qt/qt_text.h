#pragma once
// Text between the dialog model (UTF-8 std::string) and Qt.
#include <QString>
#include <string>

namespace tk {

inline QString ToQ(const std::string& s) { return QString::fromStdString(s); }

// "\r\n", "\n" and "\r" all become "\n"; a trailing break is dropped.
std::string LinesOf(const std::string& text);

}  // namespace tk
