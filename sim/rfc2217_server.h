#pragma once
// vireo-sim's network face: the simulated chip behind an RFC 2217 server
// (telnet with the COM-PORT option) on TCP, as a serial device server would
// hold a board: the client's rate is the line rate the chip sees, and its
// DTR and RTS are the board's modem lines.
#include <iosfwd>

#include "sim/server_config.h"

namespace sim {

// Listens on config.listenHost:config.listenPort (0: a free port), prints
// "rfc2217://HOST:PORT" on `out` (first line, flushed), serves one client at
// a time until SIGINT or SIGTERM, then writes the dumps. Answers the exit status.
int RunRfc2217Server(ServerConfig config, std::ostream& out, std::ostream& err);

}  // namespace sim
