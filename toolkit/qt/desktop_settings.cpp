#include "toolkit/qt/desktop_settings.h"

namespace tk {

namespace {

QString WidthKey(int templateId) { return QStringLiteral("Window/%1/Width").arg(templateId); }

}  // namespace

QSettings DesktopSettings() { return QSettings(QStringLiteral("kelvane"), QStringLiteral("desktop")); }

int SavedWindowWidth(int templateId) {
    bool ok = false;
    const int width = DesktopSettings().value(WidthKey(templateId)).toInt(&ok);
    return ok && width > 0 ? width : 0;
}

void SaveWindowWidth(int templateId, int width) {
    QSettings settings = DesktopSettings();
    if (settings.value(WidthKey(templateId)).toInt() != width) settings.setValue(WidthKey(templateId), width);
}

}  // namespace tk
