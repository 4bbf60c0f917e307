#pragma once
// kelvane's third program mode is served by kelvlite, which replaces kelvane.
#include <string>

#include "platform/process.h"

namespace kv {

class CKelvixApp;

// The folder part of a path ("/opt/k/kelvane" -> "/opt/k"; "/kelvane" -> "/";
// a bare name -> ".").
std::string FolderOf(const std::string& path);

// The companion's file: "kelvlite", then with ".com", ".exe", ".bat" and
// ".cmd", first in the folder of the running program's own file, then in the
// current working directory. Empty when none exists.
std::string FindCompanion(plat::IProcess& process);

// The port as kelvlite is given it: "COM..." and paths as they are, any
// other name as the device path it stands for ("ttyUSB0" -> "/dev/ttyUSB0").
std::string CompanionPortArgument(const std::string& port);

// Starts kelvlite on `port` in place of the running program (arguments
// "kelvlite" and the port argument; the environment is kept). A real start does not
// return; false after message 1039 when there is no companion or it did not
// start (true only from a process service that merely records the start).
bool StartCompanion(CKelvixApp& app, const std::string& port);

}  // namespace kv
