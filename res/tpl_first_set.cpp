#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

const tk::DialogTemplate& FirstSetTemplate(Edition) {
    using namespace tpl;
    static const tk::DialogTemplate t = [] {
        std::vector<tk::Control> cs = {Label("Set communication state first.", {0, 0, 2})};
        Append(cs, OkCancelRow(1, 0, 1));
        return Dialog(IDD_FIRST_SET, "Do you set communication state?", std::move(cs));
    }();
    return t;
}

}  // namespace kv
