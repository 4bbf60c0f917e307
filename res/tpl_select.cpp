#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

const tk::DialogTemplate& SelectTemplate(Edition) {
    using namespace tpl;
    static const tk::DialogTemplate t = [] {
        return Dialog(IDD_SELECT, "Program/Download File Select",
                      {
                          Label("FilePath", {0, 0}),
                          Wide(Field(1011, "FilePath", {0, 1}, tk::kFileDrop), 40),
                          Button(1010, "Refer...", {0, 2}),
                          Button(tk::IDOK, "OK", {0, 3}, tk::kDefault),
                          Button(tk::IDCANCEL, "Cancel", {1, 3}),
                      });
    }();
    return t;
}

}  // namespace kv
