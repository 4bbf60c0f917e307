#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

namespace {

tk::DialogTemplate Build(Edition e) {
    using namespace tpl;
    std::vector<std::string> rates = {"9600", "19200", "38400", "57600", "115200"};
    if (e == Edition::Kelvlite) rates.pop_back();
    std::vector<std::string> intervals;
    for (int ms = 5; ms <= 50; ms += 5) intervals.push_back(std::to_string(ms));
    return Dialog(IDD_SET_COMM, "Set baudrate",
                  {
                      Label("Baud rate (bps)", {0, 0}),
                      Combo(1020, "Baud rate (bps)", rates, {0, 1}),
                      Button(tk::IDOK, "OK", {0, 2}, tk::kDefault),
                      Label("Program_intervals(ms)", {1, 0}),
                      Combo(1044, "Program_intervals(ms)", intervals, {1, 1}),
                      Button(tk::IDCANCEL, "Cancel", {1, 2}),
                  });
}

}  // namespace

const tk::DialogTemplate& SetCommTemplate(Edition e) {
    static const tk::DialogTemplate kelvane = Build(Edition::Kelvane);
    static const tk::DialogTemplate kelvlite = Build(Edition::Kelvlite);
    return e == Edition::Kelvlite ? kelvlite : kelvane;
}

}  // namespace kv
