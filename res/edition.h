#pragma once
// The two programs are one core with a run-time edition value; the link
// serves kelvlite's chips through the sequencer's routines.
namespace kv {

enum class Edition {
    Kelvane,   // internal flash and the Vireo/H boot loader
    Kelvlite,  // Vireo/L chips through the sequencer routines of firm.mot
};

}  // namespace kv
