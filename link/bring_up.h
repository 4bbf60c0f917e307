#pragma once
// Bringing a link up, as both kinds of program do it: open the port at
// 9600 bps, wake the boot loader, return to the stored rate, and read the
// first status; and the probes that tell whether the chip still answers.
// What needs the user (a reset after a lost reply, the communication state
// when the chip gives no status) is asked of the link's user.
#include <functional>
#include <string>

#include "link/link.h"

namespace kv {

// Opens the channel on the port, 9600 bps 8N1, read time-out 5000 ms.
// PortUnavailable (told, with the system's reason) when it cannot be opened.
Outcome OpenLink(CLink& link, const std::string& port);

// The start-up synchronisation; a failed reply byte runs the recovery once.
// LinkLost when the chip did not answer and the recovery did not bring it back.
Outcome SynchroniseLink(CLink& link);

// Pause, purge, and the stored communication state brought back (told when
// the boot loader does not take the rate). The state in force afterwards.
CommState RestoreStoredState(CLink& link);

// The first status read: whether the chip answers and whether its ID is
// verified already, then clear status. The boot-loader mode reads none. When
// no status comes the user may set the communication state; LinkLost (with
// Cause::NoStatus, told) when the link is still not ready afterwards.
Outcome ReadFirstStatus(CLink& link, const CommState& state);

// All of the above in order; ends at the first step after which the user is
// ending the run. Ok when the link is ready.
// `opened`, when given, runs once the port is open, before the wake-up; a
// failure it answers ends the bring-up.
Outcome BringUp(CLink& link, const std::string& port, const std::function<Outcome()>& opened = {});
// The same on a link that OpenLink has opened already.
Outcome BringUpOpened(CLink& link);

// The probes before an operation: a status read (recovering when it gets
// no reply), or in the boot-loader mode the echo of the rate in force.
bool ProbeStatus(CLink& link);
bool ProbeBootLoader(CLink& link);
bool ProbeForMode(CLink& link);

}  // namespace kv
