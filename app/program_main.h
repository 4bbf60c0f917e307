#pragma once
// What kelvane's and kelvlite's main functions share: the Linux services,
// the choice of front end, and the start-up routine.
#include <memory>

#include "app/edition.h"
#include "toolkit/ui.h"

namespace kv {

// The desktop front end, or none when no display can be used (or the
// program was built without one).
using GraphicalUiFactory = std::unique_ptr<tk::Ui> (*)(int& argc, char** argv);

// The console front end is chosen by "--console" or KELVANE_UI=console in the
// environment (then also set for a companion that kelvane starts); otherwise
// the desktop front end where it can be used, else the console. Answers the
// program's exit code.
int ProgramMain(Edition edition, int argc, char** argv, GraphicalUiFactory graphical);

}  // namespace kv
