#pragma once
// The program's command line as the start-up routine reads it.
#include <optional>
#include <string>
#include <vector>

namespace kv {

// The arguments joined by single spaces, the program path (argv[0] as given)
// included: the text the start-up switches are searched in.
std::string JoinCommandLine(const std::vector<std::string>& args);

// The front-end and port options of the Linux programs, apart from what the
// command line says to the start-up routine itself.
struct ProgramOptions {
    bool console = false;             // "--console"
    bool help = false;                // "--help" or "-h"
    bool version = false;             // "--version"
    bool trace = false;               // "--trace": the trace lines on standard output
    std::optional<std::string> port;  // "--port <name>" or "--port=<name>"
    std::string file;                 // a program file to open (a file manager's "Open with"), or empty
    std::vector<std::string> rest;    // the other arguments after the program path, in order
    std::string error;                // "--port" without a name, or an unknown "--" option
};

// Reads the options out of args[1..]; args[0] is the program path. An
// argument that ends as a program file does (".mot", ".hex", ..., in any
// case) is the program file; the last one counts.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);

// kelvlite's port argument: the arguments after the program path joined by
// single spaces, with every "kelvlite " taken out (the name kelvane puts in
// front of the port when it starts kelvlite).
std::string KelvlitePortArgument(const std::vector<std::string>& rest);

// A port argument that names a port: "COM..." or a device path.
bool NamesPort(const std::string& portArgument);

}  // namespace kv
