#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

const tk::DialogTemplate& SetAddressTemplate(Edition) {
    using namespace tpl;
    static const tk::DialogTemplate t = [] {
        return Dialog(IDD_SET_ADDRESS, "Input Address",
                      {
                          Label("Start", {0, 0}),
                          Field(1012, "Start", {0, 1}),
                          Button(tk::IDOK, "OK", {0, 2}, tk::kDefault),
                          Label("End", {1, 0}),
                          Field(1013, "End", {1, 1}),
                          Button(tk::IDCANCEL, "Cancel", {1, 2}),
                      });
    }();
    return t;
}

}  // namespace kv
