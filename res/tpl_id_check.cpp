#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

namespace {

constexpr int kMcuGroup = 1903;  // a frame of our own

// File path with Refer..., the seven ID fields in one row, the MCU type
// radios below; OK and Cancel in a column on the right.
tk::DialogTemplate Build(Edition e) {
    using namespace tpl;
    const bool lite = e == Edition::Kelvlite;
    const unsigned idStyle = (lite ? tk::kCentered : 0u) | tk::kHexByte;
    const unsigned mcuStyle = lite ? tk::kHidden | tk::kDisabled : 0u;
    std::vector<tk::Control> cs = {
        Label("FilePath", {0, 0}),
        Field(1011, "FilePath", {0, 1, 7}, tk::kFileDrop),
        Button(1010, "Refer...", {0, 8}),
        Button(tk::IDOK, "OK", {0, 9}, tk::kDefault),
        Label("ID", {1, 0}),
    };
    for (int i = 0; i < 7; ++i)
        cs.push_back(Wide(Field(1002 + i, "ID" + std::to_string(i + 1), {1, 1 + i}, idStyle), 3));
    Append(cs, {
                   Button(tk::IDCANCEL, "Cancel", {1, 9}),
                   Group(kMcuGroup, "MCU Type", {2, 0, 9}, mcuStyle),
                   Radio(1053, "Vireo/M", {0, 0, 1, kMcuGroup}, mcuStyle),
                   Radio(1054, "Vireo/H", {0, 1, 1, kMcuGroup}, mcuStyle),
                   Radio(1055, "Wren", {0, 2, 1, kMcuGroup}, mcuStyle),
               });
    return Dialog(IDD_ID_CHECK, "ID Check", std::move(cs));
}

}  // namespace

const tk::DialogTemplate& IdCheckTemplate(Edition e) {
    static const tk::DialogTemplate kelvane = Build(Edition::Kelvane);
    static const tk::DialogTemplate kelvlite = Build(Edition::Kelvlite);
    return e == Edition::Kelvlite ? kelvlite : kelvane;
}

}  // namespace kv
