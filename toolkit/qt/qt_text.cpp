#include "toolkit/qt/qt_text.h"

#include "toolkit/ui_base.h"

namespace tk {

std::string LinesOf(const std::string& text) {
    const auto lines = UiBase::SplitLines(text);
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += '\n';
        out += lines[i];
    }
    return out;
}

}  // namespace tk
