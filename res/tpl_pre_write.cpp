#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

namespace {

// Start field, "to", end field; kelvlite shows the addresses centred and
// upper-case.
tk::DialogTemplate Build(Edition e) {
    using namespace tpl;
    const unsigned field = tk::kReadOnly | (e == Edition::Kelvlite ? tk::kCentered | tk::kUpperCase : 0u);
    std::vector<tk::Control> cs = {
        Label("Program next area.", {0, 0, 3}),
        Field(1016, "Start", {1, 0}, field),
        Label("to", {1, 1}, tk::kCentered),
        Field(1002, "End", {1, 2}, field),
    };
    Append(cs, OkCancelRow(2, 0, 2));
    return Dialog(IDD_PRE_WRITE, "Program", std::move(cs));
}

}  // namespace

const tk::DialogTemplate& PreWriteTemplate(Edition e) {
    static const tk::DialogTemplate kelvane = Build(Edition::Kelvane);
    static const tk::DialogTemplate kelvlite = Build(Edition::Kelvlite);
    return e == Edition::Kelvlite ? kelvlite : kelvane;
}

}  // namespace kv
