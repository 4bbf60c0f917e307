#pragma once
// Details for the message of a serial port that cannot be opened.
#include <string>

namespace plat {

// The name of the group that owns the device file, or "".
std::string DeviceGroup(const std::string& path);

// "process 1234 (minicom)" for the process that holds the flock on the
// open file `fd`, or "" when none can be found.
std::string LockHolder(int fd);

}  // namespace plat
