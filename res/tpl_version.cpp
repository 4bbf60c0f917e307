#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

const tk::DialogTemplate& VersionTemplate(Edition) {
    using namespace tpl;
    static const tk::DialogTemplate t = [] {
        return Dialog(IDD_VERSION, "Firmware Version",
                      {
                          Label("Version", {0, 0}),
                          Field(1062, "Version", {0, 1}, tk::kReadOnly),
                          Line({1, 0, 2}),
                          Button(tk::IDOK, "OK", {2, 0, 2}, tk::kDefault | tk::kCentered),
                      });
    }();
    return t;
}

}  // namespace kv
