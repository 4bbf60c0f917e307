#pragma once
// The steps that kelvane's and kelvlite's start-up routines share.
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class CKelvixApp;

namespace startup {

// Exit codes of a run.
constexpr int kExitDone = 0;        // ran to its end, or the user ended it
constexpr int kExitNotStarted = 1;  // second instance, no companion, no firmware, no link

// The start-up routines of the two programs; `args` as main received them.
int RunKelvane(CKelvixApp& app, const std::vector<std::string>& args);
int RunKelvlite(CKelvixApp& app, const std::vector<std::string>& args);

// A quit was asked for (Cancel in RecoverLink): the start-up ends here.
bool Quitting(CKelvixApp& app);

// The single-instance lock; message 1108 when another instance holds it.
bool TakeLock(CKelvixApp& app, const std::string& name);

// The communication state in force, with the three values that are only
// carried along for the settings file.
struct CommState {
    uint32_t baud = 9600;
    uint8_t byteSize = 8;
    uint8_t stopBits = 0;
    uint8_t parity = 0;
};

// Opens the channel on the port, 9600 bps 8N1, read time-out 5000 ms. A
// port that cannot be opened is told (which port, the system's reason and
// a hint) and answers false: the start-up ends there and the stored
// settings stay as they were.
bool OpenChannel(CKelvixApp& app, const std::string& port);

// The start-up synchronisation; each failed reply byte runs RecoverLink.
// False when the recovery answered 0 (the start-up ends).
bool SynchroniseWithRecovery(CKelvixApp& app);

// Pause, purge, and the stored communication state brought back (message
// 1026 when the boot loader refuses it). The state in force afterwards.
CommState RestoreStoredState(CKelvixApp& app);

void WriteCommState(CKelvixApp& app, const CommState& state);

// The chip gave no status at start-up: the user is asked to set the
// communication state ("Set communication state first.").
void AskForCommState(CKelvixApp& app);

// The first dialog, the main panel, and the channel closed at the end.
int ShowWindows(CKelvixApp& app);

}  // namespace startup
}  // namespace kv
