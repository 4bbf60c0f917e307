#include "sim/server_config.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>

namespace sim {

namespace {

std::optional<uint64_t> Number(const std::string& text, int base) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || text[0] == '-') return std::nullopt;
    return v;
}

std::optional<std::vector<uint8_t>> HexBytes(const std::string& text) {
    if (text.empty() || text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < text.size(); i += 2) {
        auto v = Number(text.substr(i, 2), 16);
        if (!v) return std::nullopt;
        out.push_back(static_cast<uint8_t>(*v));
    }
    return out;
}

std::optional<uint8_t> HexByte(const std::string& text) {
    auto v = Number(text, 16);
    if (!v || *v > 0xFF) return std::nullopt;
    return static_cast<uint8_t>(*v);
}

std::optional<uint32_t> HexAddress(const std::string& text) {
    auto v = Number(text, 16);
    if (!v || *v > 0xFFFFFF) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

// CODE[:ARG][@N] of a reply fault.
bool ReplyFaultArg(const std::string& text, ReplyFault::Kind kind, bool needsArg, ReplyFault& fault) {
    std::string rest = text;
    fault.kind = kind;
    if (auto at = rest.find('@'); at != std::string::npos) {
        auto n = Number(rest.substr(at + 1), 10);
        if (!n || *n == 0 || *n > 0xFFFFFFFF) return false;
        fault.nth = static_cast<uint32_t>(*n);
        rest.resize(at);
    }
    std::string arg;
    if (auto colon = rest.find(':'); colon != std::string::npos) {
        arg = rest.substr(colon + 1);
        rest.resize(colon);
    }
    auto code = HexByte(rest);
    if (!code || needsArg == arg.empty()) return false;
    fault.code = *code;
    if (kind == ReplyFault::Kind::Cut) {
        auto keep = Number(arg, 10);
        if (!keep) return false;
        fault.keep = *keep;
    } else if (kind == ReplyFault::Kind::Stray) {
        auto bytes = HexBytes(arg);
        if (!bytes) return false;
        fault.stray = *bytes;
    }
    return true;
}

}  // namespace

bool ParseServerArgs(const std::vector<std::string>& args, ServerConfig& config, std::string& error) {
    Options& o = config.chip;
    Faults& f = o.faults;
    auto replyFault = [&f](ReplyFault::Kind kind, bool needsArg) {
        return [&f, kind, needsArg](const std::string& v) {
            ReplyFault fault;
            if (!ReplyFaultArg(v, kind, needsArg, fault)) return false;
            f.replies.push_back(fault);
            return true;
        };
    };
    auto statusMask = [](uint8_t& mask) {
        return [&mask](const std::string& v) {
            auto b = HexByte(v);
            if (b) mask = *b;
            return b.has_value();
        };
    };
    auto millis = [](uint64_t& us) {
        return [&us](const std::string& v) {
            auto n = Number(v, 10);
            if (n) us = *n * 1000;
            return n.has_value();
        };
    };
    auto text = [](std::string& s) {
        return [&s](const std::string& v) {
            s = v;
            return !v.empty();
        };
    };
    const std::map<std::string, std::function<bool(const std::string&)>> valued = {
        {"--mode",
         [&o](const std::string& v) {
             static const std::map<std::string, Mode> modes = {
                 {"flash", Mode::Flash}, {"bootloader", Mode::Bootloader}, {"lite", Mode::Lite}};
             auto it = modes.find(v);
             if (it != modes.end()) o.mode = it->second;
             return it != modes.end();
         }},
        {"--mcu",
         [&o](const std::string& v) {
             static const std::map<std::string, McuType> types = {
                 {"m", McuType::VireoM}, {"h", McuType::VireoH}, {"wren", McuType::Wren}};
             auto it = types.find(v);
             if (it != types.end()) o.mcu = it->second;
             return it != types.end();
         }},
        {"--id",
         [&o](const std::string& v) {
             auto bytes = HexBytes(v);
             if (!bytes || bytes->size() != 7) return false;
             std::copy(bytes->begin(), bytes->end(), o.id.begin());
             return true;
         }},
        {"--version",
         [&o](const std::string& v) {
             o.version = v;
             return !v.empty() && v.size() <= 8;
         }},
        {"--timing",
         [&o](const std::string& v) {
             o.wireTiming = v == "real";
             return v == "real" || v == "none";
         }},
        {"--erase-busy", millis(o.eraseBusyUs)},
        {"--program-busy", millis(o.programBusyUs)},
        {"--busy-status",
         [&o](const std::string& v) {
             o.busyStatusAnswers = v == "answer";
             return v == "answer" || v == "hold";
         }},
        {"--download-timeout", millis(o.downloadGapUs)},
        {"--firm", text(config.firmPath)},
        {"--link", text(config.linkPath)},
        {"--log", text(config.logPath)},
        {"--load", text(config.loadPath)},
        {"--dump", text(config.dumpPath)},
        {"--download-out", text(config.downloadPath)},
        {"--rfc2217",
         [&config](const std::string& v) {
             // [HOST:]PORT; the host as the network library takes it.
             const auto colon = v.rfind(':');
             const std::string host = colon == std::string::npos ? "" : v.substr(0, colon);
             auto port = Number(colon == std::string::npos ? v : v.substr(colon + 1), 10);
             if (!port || *port > 65535 || (colon != std::string::npos && host.empty())) return false;
             if (!host.empty()) config.listenHost = host;
             config.listenPort = static_cast<uint16_t>(*port);
             config.rfc2217 = true;
             return true;
         }},
        {"--dump-range",
         [&config](const std::string& v) {
             auto dash = v.find('-');
             if (dash == std::string::npos) return false;
             auto a = HexAddress(v.substr(0, dash));
             auto b = HexAddress(v.substr(dash + 1));
             if (!a || !b || *a > *b) return false;
             config.dumpFirst = *a;
             config.dumpLast = *b;
             config.dumpRangeGiven = true;
             return true;
         }},
        {"--no-reply", replyFault(ReplyFault::Kind::Silent, false)},
        {"--cut-reply", replyFault(ReplyFault::Kind::Cut, true)},
        {"--wrong-echo", replyFault(ReplyFault::Kind::WrongEcho, false)},
        {"--stray", replyFault(ReplyFault::Kind::Stray, true)},
        {"--srd-set", statusMask(f.srdSet)},
        {"--srd-clear", statusMask(f.srdClear)},
        {"--srd1-set", statusMask(f.srd1Set)},
        {"--srd1-clear", statusMask(f.srd1Clear)},
        {"--reset-after",
         [&f](const std::string& v) {
             auto n = Number(v, 10);
             if (n) f.resetAfterBytes = *n;
             return n && *n > 0;
         }},
        {"--program-error",
         [&f](const std::string& v) {
             auto a = HexAddress(v);
             if (a) f.programErrorPage = *a & ~0xFFu;
             return a.has_value();
         }},
        {"--flip-read",
         [&f](const std::string& v) {
             auto a = HexAddress(v);
             if (a) f.flipOnReadAddress = *a;
             return a.has_value();
         }},
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (auto eq = name.find('='); eq != std::string::npos && name.rfind("--", 0) == 0) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            config.help = true;
            continue;
        }
        // "--version TEXT" sets the boot loader's version; alone (or before
        // another option) it asks for the program's own.
        if (name == "--version" && !value && (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0)) {
            config.version = true;
            continue;
        }
        if (name == "--erase-error") {
            f.eraseError = true;
            continue;
        }
        if (name == "--boot-lines") {
            o.bootLines = true;
            continue;
        }
        auto it = valued.find(name);
        if (it == valued.end()) {
            error = "unknown option " + name;
            return false;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (!it->second(*value)) {
            error = "bad value for " + name + ": " + *value;
            return false;
        }
    }
    if (o.bootLines && !config.rfc2217) {
        error = "--boot-lines needs --rfc2217: a pseudo-terminal has no modem lines";
        return false;
    }
    if (config.rfc2217 && !config.linkPath.empty()) {
        error = "--link names a pseudo-terminal, and --rfc2217 serves none";
        return false;
    }
    return true;
}

std::string ServerUsage() {
    return R"(Usage: vireo-sim [options]
Simulates a Vireo chip's serial boot loader on a pseudo-terminal, or behind
an RFC 2217 server. Prints the terminal's path (or the server's
rfc2217://HOST:PORT) as its first line, then serves until SIGINT or SIGTERM.

Chip:
  --mode flash|bootloader|lite  internal flash (ID check gates erase and
                         program), Vireo/H boot loader (no gate), or the
                         Vireo/L sequencer (routines of firm.mot) [flash]
  --mcu m|h|wren         MCU type: where the ID lies and which address the
                         ID check must name [m]
  --id HEX14             the 7-byte ID written to the ID addresses
                         [11223344556677]; FFFFFFFFFFFFFF: blank, any ID passes
  --version TEXT         boot-loader version, up to 8 characters [VER.2.05];
                         without TEXT: print vireo-sim's own version and end
  --firm PATH            sequencer firmware for lite mode [firm.mot beside the
                         program, then res/firm.mot]
  --timing real|none     model each byte's time on the wire (10 bits at the
                         rate in force) or send at once [real]
  --erase-busy MS        busy time of an erase [100]
  --program-busy MS      busy time of a page program [2]
  --busy-status hold|answer
                         a status read while busy is held back until the chip
                         is ready, or answered at once with SRD bit 7 clear
                         [hold]
  --download-timeout MS  a download that stalls this long ends with an
                         error [2000]
  --boot-lines           the board's reset and boot-mode inputs hang on DTR
                         and RTS: DTR cleared holds the chip in reset; when
                         DTR is asserted again it starts in the boot loader
                         if RTS is asserted then, else in the program, which
                         answers nothing. It starts in the program. Needs
                         --rfc2217 (a pseudo-terminal has no modem lines)

Network:
  --rfc2217 [HOST:]PORT  serve as an RFC 2217 server (telnet with the COM-PORT
                         option) on TCP rather than on a pseudo-terminal, one
                         client at a time (another is turned away while one is
                         connected); PORT 0 picks a free port; HOST
                         [127.0.0.1], 0.0.0.0 for every address. The client's
                         rate is the chip's line rate (each connection starts
                         at 9600 bps), its DTR and RTS the modem lines, which
                         keep their state between connections

Flash image:
  --load FILE            initial flash contents (S-records; written over
                         the ID)
  --dump FILE            flash at exit: raw bytes when FILE ends in ".bin",
                         else S2 records of the non-blank bytes
  --dump-range A-B       hex range of --dump [all, or the used pages for .bin]
  --download-out FILE    bytes of the last download, at exit

Faults (CODE is a hex command code; @N only its Nth reply; 13 stands for the
sequencer's routine acknowledgement, 06 for its handshake):
  --no-reply CODE[@N]    no reply
  --cut-reply CODE:K[@N] only the first K bytes of the reply
  --wrong-echo CODE[@N]  first reply byte altered (a baud code is then not
                         taken)
  --stray CODE:HEX[@N]   these bytes go out before the reply
  --srd-set HEX, --srd-clear HEX, --srd1-set HEX, --srd1-clear HEX
                         status bits forced on or off in every status reply
  --reset-after N        the chip resets (9600 bps, asleep) after N bytes
  --erase-error          every erase reports the erase error
  --program-error ADDR   the page holding ADDR reports a program error
  --flip-read ADDR       this byte reads back inverted

Other:
  --link PATH            also make PATH a symlink to the terminal
  --log FILE             log each received byte: "HH BAUD", with " x" when
                         it came at a rate other than the chip's; and each
                         modem line set ("dtr on", "rts off"), and where a
                         reset ended ("start program", "start boot loader")
  --help                 this text

Erase blocks: 000000-00FFFF in 4 KiB blocks, 0C0000-0FFFFF in 8 KiB blocks,
F00000-FFFFFF in 64 KiB blocks; a block erase elsewhere reports an erase error.
)";
}

}  // namespace sim
