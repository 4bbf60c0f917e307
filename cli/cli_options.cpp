#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "image/hex_digit.h"
#include "image/hex_text.h"
#include "image/image_writer.h"
#include "link/link_user.h"
#include "platform/net_port.h"

namespace kv::cli {

namespace {

// An error names the argument it refuses; a control character in that
// argument (a line break pasted with it) is shown as \xNN, so that the error
// stays one line.
std::string OneLine(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            out += "\\x" + ToHex2(byte);
        else
            out += c;
    }
    return out;
}

std::optional<uint32_t> ParseHexAddress(std::string text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text = text.substr(2);
    if (text.empty() || text.size() > 6) return std::nullopt;
    uint32_t value = 0;
    for (char ch : text) {
        const int digit = HexDigit(ch);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

constexpr int kMaxRetries = 100;

std::optional<int> ParseNumber(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool IsRate(uint32_t baud) { return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600 || baud == 115200; }

std::optional<Command::Kind> CommandKind(const std::string& word) {
    using K = Command::Kind;
    if (word == "info") return K::Info;
    if (word == "unlock") return K::Unlock;
    if (word == "erase") return K::Erase;
    if (word == "write") return K::Write;
    if (word == "verify") return K::Verify;
    if (word == "blank-check") return K::BlankCheck;
    if (word == "download") return K::Download;
    if (word == "read") return K::Read;
    return std::nullopt;
}

bool TakesFile(Command::Kind kind) {
    return kind == Command::Kind::Write || kind == Command::Kind::Verify || kind == Command::Kind::Download ||
           kind == Command::Kind::Read;
}

// Settles the format of a command's file once all its options are known;
// answers an error naming the argument, or an empty text.
std::string SettleFormat(Command& c) {
    const auto named = FormatForFileName(c.file);
    if (c.kind == Command::Kind::Read) {
        if (!c.format) c.format = named;
        if (!c.format && c.file == "-") return "read -: give the format of standard output: --format srec|ihex|bin";
        if (!c.format)
            return "read: the format of \"" + c.file + "\" is not known from its name; give --format srec|ihex|bin";
        return "";
    }
    if (!c.LoadsFile()) return "";
    if (c.base) {
        if (named && *named != ImageFormat::Binary)
            return "--base: \"" + c.file + "\" is not a raw binary file by its name";
        c.format = ImageFormat::Binary;
    } else if (named == ImageFormat::Binary) {
        return "--base: needed for the raw binary file \"" + c.file + "\"";
    }
    return "";
}

}  // namespace

const char* CommandName(Command::Kind kind) {
    switch (kind) {
        case Command::Kind::Info: return "info";
        case Command::Kind::Unlock: return "unlock";
        case Command::Kind::Erase: return "erase";
        case Command::Kind::Write: return "write";
        case Command::Kind::Verify: return "verify";
        case Command::Kind::BlankCheck: return "blank-check";
        case Command::Kind::Download: return "download";
        case Command::Kind::Read: return "read";
    }
    return "";
}

std::optional<std::array<uint8_t, 7>> ParseIdText(const std::string& text) {
    std::array<uint8_t, 7> id{};
    size_t digits = 0;
    for (char ch : text) {
        if (ch == ' ' || ch == ':' || ch == '-' || ch == ',' || ch == '.') continue;
        const int value = HexDigit(ch);
        if (value < 0 || digits >= 14) return std::nullopt;
        id[digits / 2] = static_cast<uint8_t>(id[digits / 2] << 4 | value);
        ++digits;
    }
    if (digits != 14) return std::nullopt;
    return id;
}

std::optional<PortEntry> ParsePortEntry(const std::string& text) {
    PortEntry entry;
    const size_t eq = text.rfind('=');
    entry.name = text.substr(0, eq);
    if (eq != std::string::npos) {
        entry.id = ParseIdText(text.substr(eq + 1));
        if (!entry.id) return std::nullopt;
    }
    if (entry.name.empty()) return std::nullopt;
    return entry;
}

std::optional<std::pair<uint32_t, uint32_t>> ParseRange(const std::string& text) {
    const size_t dash = text.find('-');
    if (dash == std::string::npos) return std::nullopt;
    const auto start = ParseHexAddress(text.substr(0, dash));
    const auto end = ParseHexAddress(text.substr(dash + 1));
    if (!start || !end || *start > *end) return std::nullopt;
    const uint32_t first = *start & ~uint32_t{0xFF};
    const uint32_t last = *end | 0xFF;
    if (first >= last) return std::nullopt;
    return std::make_pair(first, last);
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    Options& o = result.options;
    const auto fail = [&](const std::string& text) {
        result.error = OneLine(text);
        return result;
    };
    Command* current = nullptr;
    struct PortSteps {
        bool after;
        std::string port;
        LineSequence steps;
    };
    std::vector<PortSteps> portSteps;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasValue = true;
            }
        }
        const auto needValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        const auto forWrite = [&](const char* name) -> std::string {
            if (!current || current->kind != Command::Kind::Write) return std::string(name) + ": only after write FILE";
            return "";
        };

        // The short options are flags, and combine: "-qv" is "-q -v".
        if (arg.size() > 2 && arg[0] == '-' && arg[1] != '-') {
            for (size_t k = 1; k < arg.size(); ++k) {
                if (arg[k] == 'q')
                    o.quiet = true;
                else if (arg[k] == 'v')
                    o.verbose = true;
                else if (arg[k] == 'h')
                    o.help = true;
                else
                    return fail(std::string("-") + arg[k] + ": unknown option (in " + arg + ")");
            }
        } else if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "-v" || arg == "--verbose") {
            o.verbose = true;
        } else if (arg == "--old-erase") {
            o.oldErase = true;
        } else if (arg == "--sync-b0") {
            o.syncB0 = true;
        } else if (arg == "--all-pages") {
            if (!current || current->kind != Command::Kind::Read) return fail("--all-pages: only after read OUT");
            current->allPages = true;
        } else if (arg == "--blank-rest") {
            if (!current || (current->kind != Command::Kind::Write && current->kind != Command::Kind::Verify))
                return fail("--blank-rest: only after write or verify FILE");
            current->blankRest = true;
        } else if (arg == "--erase" || arg == "--blank-check" || arg == "--verify" || arg == "--no-verify") {
            const std::string error = forWrite(arg.c_str());
            if (!error.empty()) return fail(error);
            if (arg == "--erase") current->erase = true;
            if (arg == "--blank-check") current->blankCheck = true;
            if (arg == "--verify") current->verify = true;
            if (arg == "--no-verify") current->verify = false;
        } else if (arg == "--port" || arg == "--mode" || arg == "--baud" || arg == "--id" || arg == "--id-file" ||
                   arg == "--mcu" || arg == "--interval" || arg == "--firm" || arg == "--range" || arg == "--format" ||
                   arg == "--base" || arg == "--retry" || arg == "--log" || arg == "--before" || arg == "--after") {
            if (!needValue() || value.empty()) return fail(arg + ": needs a value");
            if (arg == "--port") {
                const auto entry = ParsePortEntry(value);
                if (!entry) return fail("--port: \"" + value + "\" is not PORT or PORT=ID (14 hex digits)");
                o.ports.push_back(*entry);
            } else if (arg == "--mode") {
                if (value == "flash")
                    o.mode = Mode::Flash;
                else if (value == "bootloader")
                    o.mode = Mode::BootLoader;
                else if (value == "lite")
                    o.mode = Mode::Lite;
                else
                    return fail("--mode: \"" + value + "\" is none of flash, bootloader, lite");
            } else if (arg == "--baud") {
                const auto rate = ParseNumber(value);
                if (!rate || !IsRate(static_cast<uint32_t>(*rate)))
                    return fail("--baud: " + value + " is none of 9600, 19200, 38400, 57600, 115200");
                o.baud = static_cast<uint32_t>(*rate);
            } else if (arg == "--id") {
                o.id = ParseIdText(value);
                if (!o.id) return fail("--id: \"" + value + "\" is not 14 hex digits");
            } else if (arg == "--id-file") {
                o.idFile = value;
            } else if (arg == "--mcu") {
                if (value == "m")
                    o.mcuType = 0;
                else if (value == "h")
                    o.mcuType = 1;
                else if (value == "wren")
                    o.mcuType = 2;
                else
                    return fail("--mcu: \"" + value + "\" is none of m, h, wren");
            } else if (arg == "--interval") {
                const auto ms = ParseNumber(value);
                if (!ms || *ms < 0 || *ms > CLinkUser::kMaxProgramIntervalMs)
                    return fail("--interval: " + value + " is not 0 to " +
                                std::to_string(CLinkUser::kMaxProgramIntervalMs) + " ms");
                o.interval = *ms;
            } else if (arg == "--retry") {
                const auto count = ParseNumber(value);
                if (!count || *count < 0 || *count > kMaxRetries)
                    return fail("--retry: " + value + " is not 0 to " + std::to_string(kMaxRetries));
                o.retries = *count;
            } else if (arg == "--log") {
                o.log = value;
            } else if (arg == "--before" || arg == "--after") {
                const bool after = arg == "--after";
                // PORT=STEPS gives one port of several its own sequence.
                std::string port;
                std::string text = value;
                const size_t eq = value.find('=');
                const std::string head = value.substr(0, eq);
                if (eq != std::string::npos && head != "dtr" && head != "rts" && head != "wait") {
                    port = head;
                    text = value.substr(eq + 1);
                }
                if (after && text == "reset") text = kResetSequence;
                std::string error;
                std::optional<LineSequence> steps = LineSequence{};
                if (!(after && text == "keep")) {
                    steps = ParseLineSequence(text, error);
                    if (!steps) return fail(arg + ": " + error + (after ? "; or keep, reset" : ""));
                }
                if (port.empty())
                    (after ? o.after : o.before) = *steps;
                else
                    portSteps.push_back({after, port, *steps});
            } else if (arg == "--firm") {
                o.firm = value;
            } else if (arg == "--format") {
                if (!current || current->kind != Command::Kind::Read) return fail("--format: only after read OUT");
                current->format = FormatForName(value);
                if (!current->format) return fail("--format: \"" + value + "\" is none of srec, ihex, bin");
            } else if (arg == "--base") {
                if (!current || !current->LoadsFile()) return fail("--base: only after write, verify or download FILE");
                current->base = ParseHexAddress(value);
                if (!current->base) return fail("--base: \"" + value + "\" is not an address in hex, at most FFFFFF");
            } else {  // --range
                if (!current || current->kind == Command::Kind::Info || current->kind == Command::Kind::Unlock ||
                    current->kind == Command::Kind::Erase)
                    return fail("--range: only after write, verify, blank-check, download or read");
                current->range = ParseRange(value);
                if (!current->range)
                    return fail("--range: \"" + value +
                                "\" is not START-END in hex, start below end, end at most FFFFFF");
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return fail(arg + ": unknown option");
        } else if (const auto kind = CommandKind(arg)) {
            Command command;
            command.kind = *kind;
            if (TakesFile(*kind)) {
                // "-": standard input, or standard output for read.
                if (i + 1 >= args.size() || args[i + 1].empty() || (args[i + 1][0] == '-' && args[i + 1] != "-"))
                    return fail(std::string(CommandName(*kind)) + ": needs a FILE");
                command.file = args[++i];
            }
            o.commands.push_back(command);
            current = &o.commands.back();
        } else {
            return fail("\"" + arg + "\": unknown command");
        }
    }
    if (o.help || o.version) return result;
    if (o.ports.empty()) return fail("--port: missing");
    for (const PortSteps& steps : portSteps) {
        const auto given = [&](const auto& p) { return p.name == steps.port; };
        if (std::find_if(o.ports.begin(), o.ports.end(), given) == o.ports.end())
            return fail(std::string(steps.after ? "--after " : "--before ") + steps.port + "=...: " + steps.port +
                        " is not given with --port");
        auto entry =
            std::find_if(o.portLines.begin(), o.portLines.end(), [&](const auto& p) { return p.first == steps.port; });
        if (entry == o.portLines.end()) entry = o.portLines.insert(o.portLines.end(), {steps.port, {}});
        (steps.after ? entry->second.after : entry->second.before) = steps.steps;
    }
    o.port = o.ports.front().name;
    if (o.commands.empty()) return fail("no command given");
    if (o.mode == Mode::Lite && o.LinkBaud() > 57600) return fail("--baud: lite mode goes up to 57600");
    // A raw TCP server keeps its line at one rate: the link must stay there.
    for (const PortEntry& p : o.ports)
        if (plat::NetPortKindOf(p.name) == plat::NetPortKind::RawTcp && o.LinkBaud() != plat::kRawTcpBaud)
            return fail("--port " + p.name + ": a raw TCP port stays at " + std::to_string(plat::kRawTcpBaud) +
                        " bps, and the link would change to " + std::to_string(o.LinkBaud()) + " bps: give --baud " +
                        std::to_string(plat::kRawTcpBaud) + ", or use rfc2217://, which carries the rate change");
    if (o.id && !o.idFile.empty()) return fail("--id and --id-file: give one of them");
    int toStandardOutput = 0;
    for (Command& c : o.commands) {
        if (const std::string error = SettleFormat(c); !error.empty()) return fail(error);
        if (c.kind == Command::Kind::Read && c.file == "-" && ++toStandardOutput > 1)
            return fail("read -: standard output takes one image only");
        // kelvane's erase-program-read always works on the image's own range.
        if (c.kind == Command::Kind::Write && c.erase && !c.blankCheck && c.range && o.mode != Mode::Lite)
            return fail("--range: write --erase programs the file's whole range in this mode");
    }
    for (const Command& c : o.commands) {
        // A command that wrote a file of the board's would have every port
        // write the same file: only these run on several boards at once.
        using K = Command::Kind;
        const bool forGang = c.kind == K::Info || c.kind == K::Unlock || c.kind == K::Erase || c.kind == K::Write ||
                             c.kind == K::Verify || c.kind == K::BlankCheck || c.kind == K::Download;
        if (o.Gang() && !forGang) return fail(std::string(CommandName(c.kind)) + ": only with one --port");
    }
    if (!o.Gang() && o.ports.front().id) {  // one board: its own ID is the run's ID
        o.id = o.ports.front().id;
        o.idFile.clear();
    }
    if (!o.Gang() && !o.portLines.empty()) {  // and its own sequences the run's
        const Options::PortLines& lines = o.portLines.front().second;
        if (lines.before) o.before = *lines.before;
        if (lines.after) o.after = *lines.after;
    }
    return result;
}

}  // namespace kv::cli
