#pragma once
// A serial device that writes a timestamped line for every frame written and
// every block read to a stream (kelvane-cli -v), and otherwise passes
// everything to the device it wraps.
#include <memory>
#include <ostream>
#include <string>

#include "platform/clock.h"
#include "platform/serial_device.h"

namespace kv::cli {

// The stamp in front of every trace line: seconds since the run began, to
// the millisecond ("     1.250 ").
std::string TraceStamp(uint32_t ms);

std::unique_ptr<plat::ISerialDevice> MakeTracedDevice(std::unique_ptr<plat::ISerialDevice> device, plat::IClock& clock,
                                                      std::ostream& trace);

}  // namespace kv::cli
