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
    const auto parsed = ParseOptions(Args({"--port", "COM2", "--mode=lite", "--id", "11:22:33:44:55:66:77", "erase",
                                           "write", "fw.mot", "--verify", "--range", "0C0010-0C01FE", "blank-check",
                                           "--range", "0x0D0000-0x0D00FF", "--interval", "0"}));
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
        {Args({"--port", "p", "erase", "--range", "0-FF"}), "--range: only after write, verify, blank-check or download"},
        {Args({"--port", "p", "verify", "f", "--range", "0C00FF-0C0000"}),
         "--range: \"0C00FF-0C0000\" is not START-END in hex, start below end, end at most FFFFFF"},
        {Args({"--port", "p", "verify", "f", "--range", "0C0000-1000000"}),
         "--range: \"0C0000-1000000\" is not START-END in hex, start below end, end at most FFFFFF"},
        {Args({"--port", "p", "write", "f", "--erase", "--range", "0C0000-0C00FF"}),
         "--range: write --erase programs the file's whole range in this mode"},
        {Args({"--port", "p", "--id", "11223344556677", "--id-file", "f.id", "erase"}),
         "--id and --id-file: give one of them"},
        {Args({"--port"}), "--port: needs a value"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseOptions(c.args).error, c.error) << c.args.back();
}

}  // namespace

namespace {

// --help names every option the command line takes, every command and every
// exit status.
TEST(CliOptions, HelpCoversEveryOptionCommandAndExitStatus) {
    std::ostringstream help;
    kv::cli::PrintUsage(help);
    for (const char* word :
         {"--port", "--mode", "--firm", "--baud", "--id", "--id-file", "--mcu", "--interval", "--old-erase",
          "--sync-b0", "--json", "-q", "-v", "--help", "--version", "--erase", "--blank-check", "--verify",
          "--range", "info", "unlock", "erase", "write FILE", "verify FILE", "blank-check", "download FILE", "  2  ",
          "  3  ", "  4  ", "  5  ", "  6  ", "  7  ", "  8  "})
        EXPECT_NE(help.str().find(word), std::string::npos) << word;
    // Each of them is taken by the parser.
    EXPECT_EQ(ParseOptions(Args({"--port", "p", "--mode", "bootloader", "--firm", "f", "--baud", "9600",
                                 "--id-file", "f.id", "--mcu", "wren", "--interval", "10", "--old-erase",
                                 "--sync-b0", "--json", "-q", "-v", "info", "unlock", "erase", "write", "f",
                                 "--erase", "--blank-check", "--verify", "verify", "f", "blank-check",
                                 "download", "f", "--range", "0-1FF"}))
                  .error,
              "");
}

}  // namespace
