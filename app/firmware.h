#pragma once
// kelvlite's sequencer firmware "firm.mot", read at start-up from beside the
// program's own file.
#include <string>

namespace kv {

class CKelvixApp;

// The firmware file for a program file: "firm.mot" in the same folder.
std::string FirmwarePathFor(const std::string& programPath);

// Fills the application's routine table. A missing file (or anything but a
// regular file) shows "Not Found Sequencer Firmware!" and fails; a malformed
// one shows "Sequencer Firmware is broken!" with the path and line, and fails.
bool LoadFirmware(CKelvixApp& app);

}  // namespace kv
