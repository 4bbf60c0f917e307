// vireo-sim's command line.
#include <gtest/gtest.h>

#include "sim/server_config.h"

namespace {

using sim::ReplyFault;

TEST(ServerConfig, ParsesChipFaultAndFileOptions) {
    sim::ServerConfig c;
    std::string error;
    ASSERT_TRUE(sim::ParseServerArgs({"--mode",
                                      "lite",
                                      "--mcu=wren",
                                      "--id",
                                      "0102030405060A",
                                      "--version",
                                      "VER.2.03",
                                      "--timing",
                                      "none",
                                      "--erase-busy",
                                      "5",
                                      "--no-reply",
                                      "70@3",
                                      "--cut-reply",
                                      "FF:10",
                                      "--wrong-echo",
                                      "B2",
                                      "--stray",
                                      "FB:EEDD@2",
                                      "--srd-set",
                                      "08",
                                      "--reset-after",
                                      "40",
                                      "--erase-error",
                                      "--program-error",
                                      "0C0234",
                                      "--flip-read",
                                      "0C0001",
                                      "--dump",
                                      "out.bin",
                                      "--dump-range",
                                      "0C0000-0CFFFF",
                                      "--rfc2217",
                                      "0.0.0.0:4001",
                                      "--boot-lines"},
                                     c, error))
        << error;
    EXPECT_EQ(c.chip.mode, sim::Mode::Lite);
    EXPECT_EQ(c.chip.mcu, sim::McuType::Wren);
    EXPECT_EQ(c.chip.id[6], 0x0A);
    EXPECT_EQ(c.chip.version, "VER.2.03");
    EXPECT_FALSE(c.chip.wireTiming);
    EXPECT_EQ(c.chip.eraseBusyUs, 5000u);
    const auto& r = c.chip.faults.replies;
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].kind, ReplyFault::Kind::Silent);
    EXPECT_EQ(r[0].nth, 3u);
    EXPECT_EQ(r[1].keep, 10u);
    EXPECT_EQ(r[2].code, 0xB2);
    EXPECT_EQ(r[3].stray, (std::vector<uint8_t>{0xEE, 0xDD}));
    EXPECT_EQ(r[3].nth, 2u);
    EXPECT_EQ(c.chip.faults.srdSet, 0x08);
    EXPECT_EQ(c.chip.faults.resetAfterBytes, 40u);
    EXPECT_TRUE(c.chip.faults.eraseError);
    EXPECT_EQ(*c.chip.faults.programErrorPage, 0x0C0200u);
    EXPECT_EQ(*c.chip.faults.flipOnReadAddress, 0x0C0001u);
    EXPECT_EQ(c.dumpFirst, 0x0C0000u);
    EXPECT_EQ(c.dumpLast, 0x0CFFFFu);
    EXPECT_TRUE(c.rfc2217);
    EXPECT_EQ(c.listenHost, "0.0.0.0");
    EXPECT_EQ(c.listenPort, 4001u);
    EXPECT_TRUE(c.chip.bootLines);
}

TEST(ServerConfig, DefaultsAndBadValues) {
    sim::ServerConfig c;
    std::string error;
    ASSERT_TRUE(sim::ParseServerArgs({}, c, error));
    EXPECT_EQ(c.chip.mode, sim::Mode::Flash);
    EXPECT_EQ(c.chip.id, sim::kDefaultId);
    EXPECT_EQ(c.chip.version, "VER.2.05");
    EXPECT_TRUE(c.chip.wireTiming);
    EXPECT_FALSE(c.rfc2217);
    EXPECT_FALSE(c.chip.bootLines);
    sim::ServerConfig loopback;
    ASSERT_TRUE(sim::ParseServerArgs({"--rfc2217", "0"}, loopback, error)) << error;
    EXPECT_EQ(loopback.listenHost, "127.0.0.1");
    EXPECT_EQ(loopback.listenPort, 0u);

    const std::vector<std::vector<std::string>> bad = {
        {"--mode", "rom"},
        {"--id", "0102"},
        {"--id", "01020304050607GG"},
        {"--version", "TOO.LONG.1"},
        {"--no-reply", "170"},
        {"--cut-reply", "FF"},
        {"--stray", "FB:E"},
        {"--no-reply", "70@0"},
        {"--dump-range", "0D0000-0C0000"},
        {"--frobnicate"},
        {"--log"},
        {"--reset-after", "0"},
        {"--rfc2217", "65536"},
        {"--rfc2217", ":4001"},
        {"--rfc2217", "host:"},
        {"--boot-lines"},  // a pseudo-terminal has no modem lines
        {"--rfc2217", "0", "--link", "board-1"},
    };
    // "--version" alone asks for the program's version; with a text it sets the chip's.
    for (const auto& [args, asked] : std::vector<std::pair<std::vector<std::string>, bool>>{
             {{"--version"}, true}, {{"--version", "--mode", "lite"}, true}, {{"--version", "V1"}, false}}) {
        sim::ServerConfig v;
        ASSERT_TRUE(sim::ParseServerArgs(args, v, error)) << error;
        EXPECT_EQ(v.version, asked);
        EXPECT_EQ(v.chip.version, asked ? "VER.2.05" : "V1");
    }
    for (const auto& args : bad) {
        sim::ServerConfig d;
        EXPECT_FALSE(sim::ParseServerArgs(args, d, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
