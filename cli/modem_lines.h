#pragma once
// The modem-line sequences of --before and --after: boards whose reset and
// boot-mode inputs hang on the adapter's DTR and RTS are put into the boot
// loader before the run and started afterwards, with no hand at the board.
//
//   dtr=0,rts=1,wait=100,dtr=1,wait=50
//
// Steps in order, separated by commas: dtr=0|1 and rts=0|1 clear or assert
// a line, wait=MS pauses (0 to 10000 ms).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/serial_comm.h"
#include "platform/clock.h"

namespace kv::cli {

struct LineStep {
    enum class Kind { Dtr, Rts, Wait };
    Kind kind = Kind::Wait;
    uint32_t value = 0;  // 0 or 1 for a line, milliseconds for a wait

    bool operator==(const LineStep&) const = default;
};
using LineSequence = std::vector<LineStep>;

// --after reset: RTS cleared (the program, not the boot loader), then a
// reset pulse on DTR.
inline constexpr const char* kResetSequence = "rts=0,dtr=0,wait=100,dtr=1";

// The steps of `text`, or none with `error` naming the step that is wrong.
std::optional<LineSequence> ParseLineSequence(const std::string& text, std::string& error);

// Sets the lines and waits, step by step; false at the first line the port
// does not take (it has no modem lines).
bool RunLineSequence(CIoController& channel, plat::IClock& clock, const LineSequence& steps);

}  // namespace kv::cli
