#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

namespace {

// Label-and-field pairs in two column pairs; the Ready/Busy field alone at
// the top left. kelvlite hides Ready/Busy and "Over number of data".
tk::DialogTemplate Build(Edition e) {
    using namespace tpl;
    const bool lite = e == Edition::Kelvlite;
    const unsigned ro = tk::kReadOnly;
    const unsigned gone = lite ? tk::kHidden | tk::kDisabled : 0u;
    const std::string timeout = lite ? "Data receive\ntimeout" : "Data receive timeout";
    return Dialog(IDD_STATES, "Status",
                  {
                      Field(1035, "", {0, 0}, ro | gone),
                      Label("ID Check", {1, 0}),
                      Field(1039, "ID Check", {1, 1}, ro),
                      Label("Erase", {2, 0}),
                      Field(1038, "Erase", {2, 1}, ro),
                      Label("Check sum", {2, 2}),
                      Field(1002, "Check sum", {2, 3}, ro),
                      Label("Program", {3, 0}),
                      Field(1036, "Program", {3, 1}, ro),
                      Label(timeout, {3, 2}),
                      Field(1040, "Data receive timeout", {3, 3}, ro),
                      Label("After block", {4, 0}),
                      Field(1037, "After block", {4, 1}, ro),
                      Label("Over number of data", {4, 2}, gone),
                      Field(1041, "Over number of data", {4, 3}, ro | gone),
                      Line({5, 0, 4}),
                      Button(tk::IDOK, "Menu", {6, 0, 4}, tk::kDefault | tk::kCentered),
                  });
}

}  // namespace

const tk::DialogTemplate& StatesTemplate(Edition e) {
    static const tk::DialogTemplate kelvane = Build(Edition::Kelvane);
    static const tk::DialogTemplate kelvlite = Build(Edition::Kelvlite);
    return e == Edition::Kelvlite ? kelvlite : kelvane;
}

}  // namespace kv
