#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

// The caption is replaced by the operation's title as soon as it opens.
const tk::DialogTemplate& ProgressTemplate(Edition) {
    using namespace tpl;
    static const tk::DialogTemplate t = [] {
        return Dialog(IDD_PROGRESS, "Titel",
                      {
                          Make(tk::Kind::ProgressBar, 1020, "", {0, 0}),
                          Make(tk::Kind::Static, 1021, "Message", {1, 0}, tk::kCentered),
                          Line({2, 0}),
                          Button(tk::IDCANCEL, "Cancel", {3, 0}, tk::kCentered),
                      });
    }();
    return t;
}

}  // namespace kv
