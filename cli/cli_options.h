#pragma once
// kelvane-cli's command line: the options of one run and its commands, in
// order. Everything is checked here; nothing needs the chip.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/modem_lines.h"
#include "image/image_load.h"

namespace kv::cli {

enum class Mode { Flash, BootLoader, Lite };

struct Command {
    enum class Kind { Info, Unlock, Erase, Write, Verify, BlankCheck, Download, Read };
    Kind kind = Kind::Info;
    std::string file;         // write, verify, download; read: the file written; "-": stdin / stdout
    bool erase = false;       // write --erase
    bool blankCheck = false;  // write --blank-check
    bool verify = true;       // write: the read check after programming, unless --no-verify
    bool blankRest = false;   // write, verify --blank-rest: the range's pages without data are blank
    std::optional<std::pair<uint32_t, uint32_t>> range;  // --range, whole pages
    // The file's format: from --format or the file name for read; raw binary
    // for a program file given with --base, else told by its content.
    std::optional<ImageFormat> format;
    std::optional<uint32_t> base;  // --base: where a raw binary program file begins
    bool allPages = false;         // read --all-pages: blank pages too

    // Whether `file` is a program file to load (read writes its file).
    bool LoadsFile() const { return !file.empty() && kind != Kind::Read; }
    // read -: the image goes to standard output, the result lines elsewhere.
    bool WritesStandardOutput() const { return kind == Kind::Read && file == "-"; }

    // Whether the chip must have verified the ID (internal flash and kelvlite).
    bool NeedsId() const { return kind != Kind::Info; }
};

// One --port argument: a port, or a pattern that names several, with the ID
// of the boards on it when it differs from --id ("PORT=ID").
struct PortEntry {
    std::string name;
    std::optional<std::array<uint8_t, 7>> id;

    // Whether `name` is a pattern (* ? [) to be matched against the ports present.
    bool IsPattern() const { return name.find_first_of("*?[") != std::string::npos; }
};

struct Options {
    std::string port;              // the port of this run: the first --port
    std::vector<PortEntry> ports;  // every --port, in order
    Mode mode = Mode::Flash;
    uint32_t baud = 0;  // 0: the mode's default
    std::optional<std::array<uint8_t, 7>> id;
    std::string idFile;
    std::optional<int> mcuType;  // 0 Vireo/M, 1 Vireo/H, 2 Wren
    int interval = 40;
    int retries = 0;  // --retry: a lost link brought back and its step run again, at most this often
    bool oldErase = false;
    bool syncB0 = false;
    std::string firm;     // firm.mot for lite mode; empty: beside the program
    std::string log;      // --log: the file each board's run appends its record to; empty: none
    LineSequence before;  // --before: the modem lines once the port is open, before the wake-up
    LineSequence after;   // --after: the modem lines at the end; none (keep): the return to 9600 bps instead
    // --before PORT=STEPS, --after PORT=...: a port's own sequences, by the
    // name --port gave (a pattern: for each port it matches).
    struct PortLines {
        std::optional<LineSequence> before;
        std::optional<LineSequence> after;
    };
    std::vector<std::pair<std::string, PortLines>> portLines;
    bool json = false;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
    std::vector<Command> commands;

    // A read to standard output: the result lines must go to standard error.
    bool ImageToStandardOutput() const {
        for (const Command& c : commands)
            if (c.WritesStandardOutput()) return true;
        return false;
    }

    // Several boards at once: more than one --port, or a pattern.
    bool Gang() const { return ports.size() > 1 || (ports.size() == 1 && ports[0].IsPattern()); }

    uint32_t LinkBaud() const { return baud != 0 ? baud : mode == Mode::Lite ? 57600 : 115200; }
};

// Answers the options, or a one-line error naming the argument.
struct ParseResult {
    Options options;
    std::string error;
};
ParseResult ParseOptions(const std::vector<std::string>& args);

// The 14 hex digits of an ID; spaces, ':', '-', ',' and '.' may separate them.
std::optional<std::array<uint8_t, 7>> ParseIdText(const std::string& text);
// A --port argument: "PORT" or "PORT=ID" (the ID as --id takes it).
std::optional<PortEntry> ParsePortEntry(const std::string& text);
// "START-END" in hexadecimal (an optional 0x each), start not above end, end at
// most 0xFFFFFF; rounded to whole pages.
std::optional<std::pair<uint32_t, uint32_t>> ParseRange(const std::string& text);

const char* CommandName(Command::Kind kind);

}  // namespace kv::cli
