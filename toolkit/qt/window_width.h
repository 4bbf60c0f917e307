#pragma once
// How wide a top-level window must be for the window manager to show its
// whole caption: Qt sizes windows from their contents only, and a caption
// longer than the contents would be cut ("Kel...ne").
#include <QString>

namespace tk {

// The caption in the title font (the application font, bold, as most window
// managers draw it) plus room for the frame's icon and buttons.
int TitleBarWidth(const QString& caption);

// The narrowest a message box may be: its title bar, and never so narrow
// that a short text makes a sliver of a window.
int MessageBoxMinimumWidth(const QString& caption);

}  // namespace tk
