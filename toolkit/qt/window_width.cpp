#include "toolkit/qt/window_width.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <algorithm>

namespace tk {

namespace {

// Icon, minimise, maximise and close: a window manager draws each about a
// title bar high, and the title keeps a margin of about that on each side.
constexpr int kFrameGlyphs = 6;

}  // namespace

int TitleBarWidth(const QString& caption) {
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics fm(font);
    const int glyph = fm.height() + 6;
    return fm.horizontalAdvance(caption) + kFrameGlyphs * glyph;
}

int MessageBoxMinimumWidth(const QString& caption) {
    const QFontMetrics fm(QApplication::font());
    return std::max(TitleBarWidth(caption), 28 * fm.averageCharWidth());
}

}  // namespace tk
