#pragma once
// The serial adapters plugged into the machine, for the port lists of the
// dialog programs.
#include <string>
#include <vector>

namespace plat {

struct SerialAdapter {
    std::string device;  // "/dev/ttyUSB0"
    std::string byId;    // its stable name, "/dev/serial/by-id/usb-FTDI_..."; empty when it has none
    bool usb = false;    // on a USB bus: a plugged-in adapter, not a port of the board
};

// Each adapter once, in natural order of its device name: the ttys whose
// device sits on a USB bus (/sys/class/tty/*/device), the /dev/ttyUSB* and
// /dev/ttyACM* nodes, and the targets of /dev/serial/by-id, with the by-id
// name beside its device. `root` puts the whole tree below another folder
// (tests); "" is the machine's own.
std::vector<SerialAdapter> ListSerialAdapters(const std::string& root = "");

}  // namespace plat
