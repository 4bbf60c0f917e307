#pragma once
// Bits per second <-> termios speed codes.
#include <termios.h>

#include <cstdint>
#include <optional>

namespace plat {

// The speed code of a standard rate; nothing for a rate the driver interface has no code for.
std::optional<speed_t> SpeedCodeForBaud(uint32_t baud);
// The rate of a speed code; 0 for B0 or an unknown code.
uint32_t BaudForSpeedCode(speed_t code);

}  // namespace plat
