// kelvane-cli's command line: what it takes, and a one-line refusal naming
// the argument for everything it does not.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_options.h"
#include "cli/usage.h"

namespace {

using kv::cli::Command;
using kv::cli::Mode;
using kv::cli::ParseOptions;

std::vector<std::string> Args(std::initializer_list<std::string> rest) {
    std::vector<std::string> args = {"kelvane-cli"};
    args.insert(args.end(), rest);
    return args;
}

TEST(CliOptions, TakesCommandsInOrderWithTheirOwnOptions) {
    const auto parsed = ParseOptions(
        Args({"--port", "COM2", "--mode=lite", "--id", "11:22:33:44:55:66:77", "erase", "write", "fw.mot", "--verify",
              "--range", "0C0010-0C01FE", "blank-check", "--range", "0x0D0000-0x0D00FF", "--interval", "0"}));
    ASSERT_EQ(parsed.error, "");
    const auto& o = parsed.options;
    EXPECT_EQ(o.port, "COM2");
    EXPECT_EQ(o.mode, Mode::Lite);
    EXPECT_EQ(o.LinkBaud(), 57600u);
    EXPECT_EQ(o.interval, 0);
    ASSERT_TRUE(o.id);
    EXPECT_EQ((*o.id)[0], 0x11);
    EXPECT_EQ((*o.id)[6], 0x77);
    ASSERT_EQ(o.commands.size(), 3u);
    EXPECT_EQ(o.commands[0].kind, Command::Kind::Erase);
    EXPECT_EQ(o.commands[1].file, "fw.mot");
    EXPECT_TRUE(o.commands[1].verify);
    EXPECT_FALSE(o.commands[1].erase);
    EXPECT_EQ(o.commands[1].range, std::make_pair(0x0C0000u, 0x0C01FFu));  // whole pages
    EXPECT_EQ(o.commands[2].range, std::make_pair(0x0D0000u, 0x0D00FFu));
}

// write reads every byte back unless --no-verify says not to; the short
// options combine.
TEST(CliOptions, WriteVerifiesUnlessToldAndShortOptionsCombine) {
    const struct {
        std::vector<std::string> args;
        bool verify, quiet, verbose;
    } cases[] = {
        {Args({"--port", "p", "write", "f.mot"}), true, false, false},
        {Args({"--port", "p", "write", "f.mot", "--no-verify"}), false, false, false},
        {Args({"--port", "p", "-qv", "write", "f.mot", "--verify"}), true, true, true},
        {Args({"--port", "p", "write", "f.mot", "-vq", "--no-verify"}), false, true, true},
        {Args({"--port", "p", "-q", "write", "f.mot"}), true, true, false},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseOptions(c.args);
        ASSERT_EQ(parsed.error, "") << c.args[4];
        EXPECT_EQ(parsed.options.commands.at(0).verify, c.verify) << c.args.size();
        EXPECT_EQ(parsed.options.quiet, c.quiet) << c.args.size();
        EXPECT_EQ(parsed.options.verbose, c.verbose) << c.args.size();
    }
    EXPECT_TRUE(ParseOptions(Args({"-hq"})).options.help);
}

// The format of each file: read's from --format or the name, a program
// file's raw binary only with --base (any name but another format's).
TEST(CliOptions, FileFormatsComeFromTheNameOrTheOptions) {
    using kv::ImageFormat;
    const auto parsed =
        ParseOptions(Args({"--port",      "p",     "write",    "fw.BIN",   "--base", "0x0C0000", "verify", "fw.img",
                           "--base",      "C0000", "download", "boot.btp", "read",   "a.S3",     "read",   "b.ihex",
                           "--all-pages", "read",  "c.hex",    "--format", "bin",    "--range",  "0-1FF"}));
    ASSERT_EQ(parsed.error, "");
    const auto& c = parsed.options.commands;
    ASSERT_EQ(c.size(), 6u);
    EXPECT_EQ(c[0].format, ImageFormat::Binary);
    EXPECT_EQ(c[0].base, 0x0C0000u);
    EXPECT_EQ(c[1].format, ImageFormat::Binary);
    EXPECT_EQ(c[2].format, std::nullopt);  // told by its content when loaded
    EXPECT_EQ(c[3].kind, Command::Kind::Read);
    EXPECT_EQ(c[3].format, ImageFormat::SRecord);
    EXPECT_FALSE(c[3].allPages);
    EXPECT_FALSE(c[3].LoadsFile());
    EXPECT_EQ(c[4].format, ImageFormat::IntelHex);
    EXPECT_TRUE(c[4].allPages);
    EXPECT_EQ(c[5].format, ImageFormat::Binary);
    EXPECT_EQ(c[5].range, std::make_pair(0x0u, 0x1FFu));
}

TEST(CliOptions, RefusalsNameTheArgument) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {Args({"erase"}), "--port: missing"},
        {Args({"--port", "p"}), "no command given"},
        {Args({"--port", "p", "flash-all"}), "\"flash-all\": unknown command"},
        {Args({"--port", "p", "--colour", "erase"}), "--colour: unknown option"},
        {Args({"--port", "p", "write"}), "write: needs a FILE"},
        {Args({"--port", "p", "--id", "1122334455667", "erase"}), "--id: \"1122334455667\" is not 14 hex digits"},
        {Args({"--port", "p", "--id", "11223344556677G", "erase"}), "--id: \"11223344556677G\" is not 14 hex digits"},
        {Args({"--port", "p", "--baud", "4800", "erase"}), "--baud: 4800 is none of 9600, 19200, 38400, 57600, 115200"},
        {Args({"--port", "p", "--mode", "lite", "--baud", "115200", "erase"}), "--baud: lite mode goes up to 57600"},
        {Args({"--port", "p", "--mode", "fast", "erase"}), "--mode: \"fast\" is none of flash, bootloader, lite"},
        {Args({"--port", "p", "--mcu", "x", "erase"}), "--mcu: \"x\" is none of m, h, wren"},
        {Args({"--port", "p", "--interval", "-1", "erase"}), "--interval: -1 is not 0 to 10000 ms"},
        {Args({"--port", "p", "--interval", "10001", "erase"}), "--interval: 10001 is not 0 to 10000 ms"},
        {Args({"--port", "p", "erase", "--verify"}), "--verify: only after write FILE"},
        {Args({"--port", "p", "erase", "--no-verify"}), "--no-verify: only after write FILE"},
        {Args({"--port", "p", "blank-check", "--blank-rest"}), "--blank-rest: only after write or verify FILE"},
        {Args({"--port", "p", "--retry", "x", "erase"}), "--retry: x is not 0 to 100"},
        {Args({"--port", "p", "--retry", "101", "erase"}), "--retry: 101 is not 0 to 100"},
        {Args({"--port", "p", "--log", "", "erase"}), "--log: needs a value"},
        {Args({"--port", "p", "--before", "dtr=0,rts=2", "erase"}),
         "--before: \"rts=2\" is none of dtr=0|1, rts=0|1, wait=MS (0 to 10000)"},
        {Args({"--port", "p", "--after", "restart", "erase"}),
         "--after: \"restart\" is none of dtr=0|1, rts=0|1, wait=MS (0 to 10000); or keep, reset"},
        {Args({"--port", "p", "-qx", "erase"}), "-x: unknown option (in -qx)"},
        {Args({"--port", "p", "--mode", "fl\nash", "erase"}),
         "--mode: \"fl\\x0Aash\" is none of flash, bootloader, lite"},
        {Args({"--port", "p", "erase", "--range", "0-FF"}),
         "--range: only after write, verify, blank-check, download or read"},
        {Args({"--port", "p", "verify", "f", "--range", "0C00FF-0C0000"}),
         "--range: \"0C00FF-0C0000\" is not START-END in hex, start below end, end at most FFFFFF"},
        {Args({"--port", "p", "verify", "f", "--range", "0C0000-1000000"}),
         "--range: \"0C0000-1000000\" is not START-END in hex, start below end, end at most FFFFFF"},
        {Args({"--port", "p", "write", "f", "--erase", "--range", "0C0000-0C00FF"}),
         "--range: write --erase programs the file's whole range in this mode"},
        {Args({"--port", "p", "--id", "11223344556677", "--id-file", "f.id", "erase"}),
         "--id and --id-file: give one of them"},
        {Args({"--port"}), "--port: needs a value"},
        {Args({"--port", "p=1122", "erase"}), "--port: \"p=1122\" is not PORT or PORT=ID (14 hex digits)"},
        {Args({"--port", "=11223344556677", "erase"}),
         "--port: \"=11223344556677\" is not PORT or PORT=ID (14 hex digits)"},
        {Args({"--port", "a", "--port", "b", "read", "f.hex"}), "read: only with one --port"},
        {Args({"--port", "p", "read", "flash.txt"}),
         "read: the format of \"flash.txt\" is not known from its name; give --format srec|ihex|bin"},
        {Args({"--port", "p", "read", "f.hex", "--format", "elf"}), "--format: \"elf\" is none of srec, ihex, bin"},
        {Args({"--port", "p", "write", "f.hex", "--format", "bin"}), "--format: only after read OUT"},
        {Args({"--port", "p", "verify", "f.mot", "--all-pages"}), "--all-pages: only after read OUT"},
        {Args({"--port", "p", "write", "fw.bin"}), "--base: needed for the raw binary file \"fw.bin\""},
        {Args({"--port", "p", "write", "fw.hex", "--base", "0C0000"}),
         "--base: \"fw.hex\" is not a raw binary file by its name"},
        {Args({"--port", "p", "read", "f.bin", "--base", "0"}), "--base: only after write, verify or download FILE"},
        {Args({"--port", "p", "download", "b.img", "--base", "1000000"}),
         "--base: \"1000000\" is not an address in hex, at most FFFFFF"},
        {Args({"--port", "p", "write", "--verify"}), "write: needs a FILE"},
        {Args({"--port", "p", "read", "-"}), "read -: give the format of standard output: --format srec|ihex|bin"},
        {Args({"--port", "p", "read", "-", "--format", "srec", "read", "-", "--format", "bin"}),
         "read -: standard output takes one image only"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseOptions(c.args).error, c.error) << c.args.back();
}

// "-" is standard input for a program file and standard output for read;
// the result lines then must not go to standard output.
TEST(CliOptions, DashIsStandardInputOrOutput) {
    const auto parsed = ParseOptions(
        Args({"--port", "p", "write", "-", "verify", "-", "--base", "C0000", "read", "-", "--format", "ihex"}));
    ASSERT_EQ(parsed.error, "");
    const auto& c = parsed.options.commands;
    ASSERT_EQ(c.size(), 3u);
    EXPECT_EQ(c[0].file, "-");
    EXPECT_TRUE(c[0].LoadsFile());
    EXPECT_EQ(c[0].format, std::nullopt);
    EXPECT_EQ(c[1].format, kv::ImageFormat::Binary);
    EXPECT_TRUE(c[2].WritesStandardOutput());
    EXPECT_TRUE(parsed.options.ImageToStandardOutput());
    EXPECT_FALSE(ParseOptions(Args({"--port", "p", "write", "-"})).options.ImageToStandardOutput());
}

// Several --port arguments, or a pattern, make a gang; a port's own ID
// stays with it there, and is the run's ID when it is the only port.
TEST(CliOptions, PortsCarryTheirOwnId) {
    const auto gang = ParseOptions(
        Args({"--port", "/dev/ttyUSB0", "--port=/dev/ttyUSB1=00:11:22:33:44:55:66", "--id-file", "f.id", "--before",
              "dtr=0,wait=10,dtr=1", "--before", "/dev/ttyUSB1=rts=1", "--after=/dev/ttyUSB1=reset", "erase"}));
    ASSERT_EQ(gang.error, "");
    const auto& o = gang.options;
    // Sequences too: the port's own, else the one for all.
    using Step = kv::cli::LineStep;
    EXPECT_EQ(o.before, (kv::cli::LineSequence{{Step::Kind::Dtr, 0}, {Step::Kind::Wait, 10}, {Step::Kind::Dtr, 1}}));
    ASSERT_EQ(o.portLines.size(), 1u);
    EXPECT_EQ(o.portLines[0].first, "/dev/ttyUSB1");
    EXPECT_EQ(o.portLines[0].second.before, (kv::cli::LineSequence{{Step::Kind::Rts, 1}}));
    ASSERT_TRUE(o.portLines[0].second.after);
    EXPECT_EQ(o.portLines[0].second.after->size(), 4u);
    EXPECT_EQ(ParseOptions(Args({"--port", "a", "--before", "b=dtr=1", "erase"})).error,
              "--before b=...: b is not given with --port");
    EXPECT_TRUE(o.Gang());
    EXPECT_EQ(o.port, "/dev/ttyUSB0");
    ASSERT_EQ(o.ports.size(), 2u);
    EXPECT_FALSE(o.ports[0].id);
    EXPECT_EQ(o.ports[1].name, "/dev/ttyUSB1");
    ASSERT_TRUE(o.ports[1].id);
    EXPECT_EQ((*o.ports[1].id)[6], 0x66);
    EXPECT_EQ(o.idFile, "f.id");  // for the ports without an ID of their own

    const auto one = ParseOptions(Args({"--port", "COM2=11223344556677", "--id-file", "f.id", "erase"}));
    ASSERT_EQ(one.error, "");
    EXPECT_FALSE(one.options.Gang());
    EXPECT_EQ(one.options.port, "COM2");
    ASSERT_TRUE(one.options.id);
    EXPECT_EQ((*one.options.id)[0], 0x11);
    EXPECT_EQ(one.options.idFile, "");

    EXPECT_TRUE(ParseOptions(Args({"--port", "/dev/serial/by-id/usb-*", "erase"})).options.Gang());
}

}  // namespace

namespace {

// --help names every option the command line takes, every command and every
// exit status.
TEST(CliOptions, HelpCoversEveryOptionCommandAndExitStatus) {
    std::ostringstream help;
    kv::cli::PrintUsage(help);
    for (const char* word : {"--port",
                             "--mode",
                             "--firm",
                             "--baud",
                             "--id",
                             "--id-file",
                             "--mcu",
                             "--interval",
                             "--old-erase",
                             "--sync-b0",
                             "--json",
                             "-q",
                             "-v",
                             "-qv",
                             "--help",
                             "--version",
                             "--erase",
                             "--blank-check",
                             "--verify",
                             "--no-verify",
                             "--range",
                             "--blank-rest",
                             "--retry",
                             "--log",
                             "--before",
                             "--after",
                             "keep",
                             "reset",
                             "SIGPIPE",
                             "A second SIGTERM",
                             "exchange in hand",
                             "info",
                             "unlock",
                             "erase",
                             "write FILE",
                             "verify FILE",
                             "blank-check",
                             "download FILE",
                             "  2  ",
                             "  3  ",
                             "  4  ",
                             "  5  ",
                             "  6  ",
                             "  7  ",
                             "  8  "})
        EXPECT_NE(help.str().find(word), std::string::npos) << word;
    // Each of them is taken by the parser.
    EXPECT_EQ(ParseOptions(Args({"--port",
                                 "p",
                                 "--mode",
                                 "bootloader",
                                 "--firm",
                                 "f",
                                 "--baud",
                                 "9600",
                                 "--id-file",
                                 "f.id",
                                 "--mcu",
                                 "wren",
                                 "--interval",
                                 "10",
                                 "--old-erase",
                                 "--sync-b0",
                                 "--json",
                                 "-q",
                                 "-v",
                                 "--retry",
                                 "2",
                                 "--log",
                                 "runs.jsonl",
                                 "--before",
                                 "dtr=0,wait=10,dtr=1",
                                 "--after",
                                 "reset",
                                 "info",
                                 "unlock",
                                 "erase",
                                 "write",
                                 "f",
                                 "--erase",
                                 "--blank-check",
                                 "--verify",
                                 "--no-verify",
                                 "--blank-rest",
                                 "verify",
                                 "f",
                                 "--blank-rest",
                                 "blank-check",
                                 "download",
                                 "f",
                                 "--range",
                                 "0-1FF"}))
                  .error,
              "");
}

}  // namespace
