#pragma once
// The serial ports a pattern names, for several boards at once.
#include <string>
#include <vector>

namespace plat {

// The paths that match `pattern` (* ? [...], as the shell matches them),
// sorted; a pattern without a '/' is matched under /dev. None: no match.
std::vector<std::string> MatchPorts(const std::string& pattern);

// The width of the terminal on `fd` in columns; 80 when it does not say.
int TerminalColumns(int fd);

}  // namespace plat
