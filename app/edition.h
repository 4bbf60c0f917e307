#pragma once
// The program's edition and its name.
#include "res/edition.h"

namespace kv {

inline const char* ProgramName(Edition e) { return e == Edition::Kelvane ? "kelvane" : "kelvlite"; }

}  // namespace kv
