#pragma once
// The desktop front end's own settings (~/.config/kelvane/desktop.conf),
// apart from the programs' settings files: where the file dialog was last,
// and how wide each window was made.
#include <QSettings>

namespace tk {

QSettings DesktopSettings();

// The width the user gave the window of template `templateId`, or 0.
int SavedWindowWidth(int templateId);
void SaveWindowWidth(int templateId, int width);

}  // namespace tk
