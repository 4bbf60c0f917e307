#pragma once
// The two programs are one core with a run-time edition value.
namespace kv {

enum class Edition {
    Kelvane,   // internal flash and the Vireo/H boot loader
    Kelvlite,  // Vireo/L chips through the sequencer routines of firm.mot
};

inline const char* ProgramName(Edition e) { return e == Edition::Kelvane ? "kelvane" : "kelvlite"; }

}  // namespace kv
