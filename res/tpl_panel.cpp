#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

namespace {

// Two columns of operation buttons above a line, Exit centred below.
tk::DialogTemplate Build(Edition e) {
    using namespace tpl;
    const bool lite = e == Edition::Kelvlite;
    const unsigned never = lite ? tk::kHidden | tk::kDisabled : 0u;
    auto t = Dialog(IDD_KELVIX_DIALOG, lite ? "Kelvane for Vireo/L" : "Kelvane",
                    {
                        Button(1005, "Load (ID)...", {0, 0}),
                        Button(1006, "Blank...", {1, 0}),
                        Button(1007, "Read...", {2, 0}),
                        Button(1034, "Status...", {3, 0}),
                        Button(1010, "E. P. R...", {4, 0}),
                        Button(1008, "B. P. R...", {5, 0}),
                        Button(1009, "Program...", {0, 1}),
                        Button(1000, "Erase", {1, 1}),
                        Button(1015, "Setting...", {2, 1}),
                        Button(1063, "Download...", {3, 1}, never),
                        Button(1064, "Version...", {lite ? 5 : 4, 1}),
                        Line({6, 0, 2}),
                        Button(tk::IDCANCEL, "Exit", {7, 0, 2}, tk::kCentered),
                    });
    t.minimizeBox = lite;
    t.mnemonics = true;  // Alt+L, Alt+B, ... on the desktop
    return t;
}

}  // namespace

const tk::DialogTemplate& PanelTemplate(Edition e) {
    static const tk::DialogTemplate kelvane = Build(Edition::Kelvane);
    static const tk::DialogTemplate kelvlite = Build(Edition::Kelvlite);
    return e == Edition::Kelvlite ? kelvlite : kelvane;
}

}  // namespace kv
