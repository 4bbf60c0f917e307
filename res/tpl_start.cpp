#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

namespace {

constexpr int kModeGroup = 1901;  // frames of our own; nothing refers to them
constexpr int kPortGroup = 1902;

tk::DialogTemplate Build(Edition e) {
    using namespace tpl;
    const std::vector<std::string> ports = {"COM1", "COM2", "COM3", "COM4"};
    if (e == Edition::Kelvlite) {
        return Dialog(IDD_S_PRG, "Select Program",
                      {
                          Group(kPortGroup, "RS232C", {0, 0, 2}),
                          Label("Port", {0, 0, 1, kPortGroup}),
                          Combo(1060, "Port", ports, {0, 1, 1, kPortGroup}),
                          Button(tk::IDOK, "OK", {1, 0}, tk::kDefault | tk::kCentered),
                          Button(tk::IDCANCEL, "Exit", {1, 1}, tk::kCentered),
                          // Holds the last byte of routine slot 0; never shown.
                          Field(1077, "", {2, 0}, tk::kHidden | tk::kDisabled | tk::kNumber),
                      });
    }
    return Dialog(IDD_S_PRG, "Select Program",
                  {
                      Group(kModeGroup, "Select Program", {0, 0}),
                      Radio(1058, "Internal flash memory", {0, 0, 1, kModeGroup}),
                      Radio(1056, "Vireo/H boot loader", {1, 0, 1, kModeGroup}),
                      Radio(1057, "Vireo/L Kelvane", {2, 0, 1, kModeGroup}),
                      Group(kPortGroup, "RS232C", {0, 1}),
                      Label("Port", {0, 0, 1, kPortGroup}),
                      Combo(1060, "Port", ports, {0, 1, 1, kPortGroup}),
                      Button(tk::IDOK, "OK", {1, 0}, tk::kDefault | tk::kCentered),
                      Button(tk::IDCANCEL, "Exit", {1, 1}, tk::kCentered),
                  });
}

}  // namespace

const tk::DialogTemplate& StartTemplate(Edition e) {
    static const tk::DialogTemplate kelvane = Build(Edition::Kelvane);
    static const tk::DialogTemplate kelvlite = Build(Edition::Kelvlite);
    return e == Edition::Kelvlite ? kelvlite : kelvane;
}

}  // namespace kv
