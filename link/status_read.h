#pragma once
// The status read (0x70 and its two reply bytes SRD, SRD1), with kelvlite's
// routine before it and its end-of-command handshake after it.
#include <cstdint>

#include "link/serial_comm.h"

namespace kv {

class CLink;

struct StatusReadOptions {
    bool purge = false;             // drop stale input before the command
    bool recover = true;            // a missing reply runs RecoverLink
    uint32_t afterHandshakeMs = 0;  // kelvlite's pause after the handshake
};

struct StatusReply {
    bool answered = false;  // both bytes came
    bool handshook = true;  // kelvlite's handshake was acknowledged (kelvane has none)
    uint8_t srd = 0;
    uint8_t srd1 = 0;
};

// A routine that does not load ends the read unanswered (the recovery has
// run inside the loader). The handshake follows the reply, or the missing
// reply when no recovery ran: the sequencer ends the command either way.
StatusReply SendStatusRead(CLink& app, CSerialComm& channel, const StatusReadOptions& options = {});

}  // namespace kv
