#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

namespace {

tk::DialogTemplate Build(Edition e) {
    using namespace tpl;
    const bool lite = e == Edition::Kelvlite;
    auto t = Dialog(IDD_ABOUTBOX, lite ? "About Kelvane For Vireo/L" : "About Kelvane",
                    {
                        Make(tk::Kind::Icon, tk::IDC_STATIC, "", {0, 0}),
                        Label(lite ? "Kelvane for Vireo/L Version 1.0.0.0" : "Kelvane Version 2.0.0.0", {0, 1}),
                        Label("Linux flash programmer for Vireo microcontrollers", {1, 1}),
                        Button(tk::IDOK, "OK", {0, 2}, tk::kDefault),
                    });
    return t;
}

}  // namespace

const tk::DialogTemplate& AboutTemplate(Edition e) {
    static const tk::DialogTemplate kelvane = Build(Edition::Kelvane);
    static const tk::DialogTemplate kelvlite = Build(Edition::Kelvlite);
    return e == Edition::Kelvlite ? kelvlite : kelvane;
}

}  // namespace kv
