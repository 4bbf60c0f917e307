#pragma once
// The steps that kelvane's and kelvlite's start-up routines share.
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

// Brings the link up on the port (the start-up routine of both programs
// from the open of the port on) and shows the first dialog and the main
// panel. Answers the exit code.
int BringUpAndShow(CKelvixApp& app, const std::string& port);

// The first dialog, the main panel, and the channel closed at the end.
int ShowWindows(CKelvixApp& app);

}  // namespace startup
}  // namespace kv
