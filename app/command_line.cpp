#include "app/command_line.h"

#include <cctype>

#include "image/program_file_name.h"
#include "platform/net_port.h"

namespace kv {

std::string JoinCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) line += ' ';
        line += args[i];
    }
    return line;
}

namespace {

// No port name ends as a program file does, in any case ("FW.HEX"); the
// start-up switches ("+a", "-Z") never do.
bool IsProgramFileArgument(const std::string& a) {
    std::string lower = a;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return !ProgramFileEnding(lower).empty();
}

}  // namespace

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args) {
    ProgramOptions o;
    const std::string portEq = "--port=";
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--console") {
            o.console = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--port") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                if (o.error.empty()) o.error = "--port needs a port name";
            } else {
                o.port = args[++i];
            }
        } else if (a.compare(0, portEq.size(), portEq) == 0) {
            if (a.size() == portEq.size()) {
                if (o.error.empty()) o.error = "--port needs a port name";
            } else {
                o.port = a.substr(portEq.size());
            }
        } else if (a.compare(0, 2, "--") == 0) {
            // The switches are "+a", "-a", "+Z" and "-Z"; a "--" word is an
            // option, and one we do not know is a mistake, not a switch.
            if (o.error.empty()) o.error = "unknown option " + a;
        } else if (IsProgramFileArgument(a)) {
            o.file = a;
        } else {
            o.rest.push_back(a);
        }
    }
    return o;
}

std::string KelvlitePortArgument(const std::vector<std::string>& rest) {
    std::string line = JoinCommandLine(rest);
    const std::string name = "kelvlite ";
    for (size_t at; (at = line.find(name)) != std::string::npos;) line.erase(at, name.size());
    return line;
}

bool NamesPort(const std::string& portArgument) {
    return portArgument.compare(0, 3, "COM") == 0 || portArgument.compare(0, 1, "/") == 0 ||
           plat::NetPortKindOf(portArgument) != plat::NetPortKind::None;
}

}  // namespace kv
