// The command line as the programs read it: options, kelvlite's port
// argument, and the folders beside the program file.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/companion.h"
#include "app/firmware.h"

namespace {

TEST(CommandLine, Options) {
    struct Case {
        std::vector<std::string> args;
        bool console;
        std::optional<std::string> port;
        std::vector<std::string> rest;
        bool error;
        bool help = false;
        bool version = false;
        std::string file = "";
    };
    const std::vector<Case> cases = {
        {{"kelvane"}, false, std::nullopt, {}, false},
        {{"kelvane", "--console", "+a"}, true, std::nullopt, {"+a"}, false},
        {{"kelvane", "--port", "/dev/pts/3", "-Z"}, false, "/dev/pts/3", {"-Z"}, false},
        {{"kelvane", "--port=COM2"}, false, "COM2", {}, false},
        {{"kelvane", "--port"}, false, std::nullopt, {}, true},
        {{"kelvane", "--port="}, false, std::nullopt, {}, true},
        {{"kelvlite", "kelvlite", "COM3"}, false, std::nullopt, {"kelvlite", "COM3"}, false},
        {{"kelvane", "--version"}, false, std::nullopt, {}, false, false, true},
        {{"kelvlite", "-h", "COM3"}, false, std::nullopt, {"COM3"}, false, true},
        {{"kelvane", "--help", "--bogus"}, false, std::nullopt, {}, true, true},  // help still wins
        {{"kelvane", "--consol", "-a"}, false, std::nullopt, {"-a"}, true},       // no switch text
        // A file manager's "Open with": the file is no port and no switch.
        {{"kelvlite", "/home/u/fw.mot"}, false, std::nullopt, {}, false, false, false, "/home/u/fw.mot"},
        {{"kelvane", "+a", "/w/FW.HEX"}, false, std::nullopt, {"+a"}, false, false, false, "/w/FW.HEX"},
        {{"kelvlite", "kelvlite", "/dev/ttyUSB0", "a.s37"},
         false,
         std::nullopt,
         {"kelvlite", "/dev/ttyUSB0"},
         false,
         false,
         false,
         "a.s37"},
    };
    for (const auto& c : cases) {
        const auto o = kv::ParseProgramOptions(c.args);
        SCOPED_TRACE(kv::JoinCommandLine(c.args));
        EXPECT_EQ(o.console, c.console);
        EXPECT_EQ(o.port, c.port);
        EXPECT_EQ(o.rest, c.rest);
        EXPECT_EQ(!o.error.empty(), c.error);
        EXPECT_EQ(o.help, c.help);
        EXPECT_EQ(o.version, c.version);
        EXPECT_EQ(o.file, c.file);
    }
    EXPECT_EQ(kv::JoinCommandLine({"/opt/k/kelvane", "+a", "-Z"}), "/opt/k/kelvane +a -Z");
}

TEST(CommandLine, KelvlitePortArgument) {
    EXPECT_EQ(kv::KelvlitePortArgument({"COM2"}), "COM2");
    EXPECT_EQ(kv::KelvlitePortArgument({"kelvlite", "COM2"}), "COM2");
    EXPECT_EQ(kv::KelvlitePortArgument({}), "");
    EXPECT_TRUE(kv::NamesPort("COM12"));
    EXPECT_TRUE(kv::NamesPort("/dev/ttyUSB0"));
    EXPECT_TRUE(kv::NamesPort("rfc2217://station-box:4001"));  // a serial device server
    EXPECT_FALSE(kv::NamesPort("com1"));                       // as typed by kelvane: upper case
    EXPECT_FALSE(kv::NamesPort("ttyUSB0"));
    EXPECT_FALSE(kv::NamesPort(""));
}

TEST(CommandLine, FoldersBesideTheProgram) {
    EXPECT_EQ(kv::FolderOf("/opt/Kelvane/bin/kelvlite"), "/opt/Kelvane/bin");
    EXPECT_EQ(kv::FolderOf("/kelvlite"), "/");
    EXPECT_EQ(kv::FolderOf("kelvlite"), ".");
    EXPECT_EQ(kv::FirmwarePathFor("/opt/Kelvane/bin/kelvlite"), "/opt/Kelvane/bin/firm.mot");  // case kept
    EXPECT_EQ(kv::FirmwarePathFor("/kelvlite"), "/firm.mot");
}

}  // namespace
