#pragma once
// The serial ports a pattern names, for several boards at once.
#include <string>
#include <vector>

namespace plat {

// The paths that match `pattern` (* ? [...], as the shell matches them),
// sorted; a pattern without a '/' is matched under /dev. None: no match.
std::vector<std::string> MatchPorts(const std::string& pattern);

// What a port name opens on this machine, so that two names of one port
// (" pts/4" and "/dev/pts/4", "COM1" and "/dev/ttyS0", a link and its
// device) compare equal: the device number of a character device, the file
// of anything else that exists, else the path the name maps to.
std::string PortIdentity(const std::string& portName);
bool SamePort(const std::string& a, const std::string& b);

// The name of `portName` under `byIdDir` (/dev/serial/by-id), which stays
// the same whichever USB socket the adapter is in; empty when it has none
// there (a built-in port, a pseudo-terminal, a network port).
std::string StableSerialName(const std::string& portName, const std::string& byIdDir = "/dev/serial/by-id");

// The width of the terminal on `fd` in columns; 80 when it does not say.
int TerminalColumns(int fd);

}  // namespace plat
