#pragma once
// vireo-sim's serving loop: a simulated chip behind a pseudo-terminal.
#include <iosfwd>

#include "sim/server_config.h"

namespace sim {

// Opens the pseudo-terminal, prints its slave path on `out` (first line,
// flushed), serves until SIGINT or SIGTERM, then writes the dumps and removes
// the symlink. Answers the exit status.
int RunPtyServer(ServerConfig config, std::ostream& out, std::ostream& err);

}  // namespace sim
