// Many boards at once: the ports a command line names, the exit status of
// several runs together, and the console that tags each line with its port.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/exit_codes.h"
#include "cli/gang_console.h"
#include "cli/gang_ports.h"

namespace {

using kv::cli::CGangConsole;
using kv::cli::PortEntry;

TEST(GangPorts, PatternsExpandAndEachPortRunsOnce) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("kv_gang_ports_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string real = (folder / "ttyUSB0").string();
    const std::string link = (folder / "usb-board-a").string();
    std::ofstream(real).put('x');
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_symlink(real, link);
    const std::string nullLink = (folder / "null-port").string();
    fs::remove(nullLink, ec);
    fs::create_symlink("/dev/null", nullLink);

    const std::array<uint8_t, 7> id = {1, 2, 3, 4, 5, 6, 7};
    const auto match = [&](const std::string& pattern) -> std::vector<std::string> {
        if (pattern == "/dev/usb-*") return {"/dev/usb-1", "/dev/usb-2"};
        if (pattern == "by-id/*") return {link};
        return {};
    };
    const struct {
        const char* name;
        std::vector<PortEntry> entries;
        std::vector<std::string> ports;
        int code;
        std::string error;
    } cases[] = {
        {"names", {{"COM2", {}}, {"/dev/a", {}}}, {"COM2", "/dev/a"}, 0, ""},
        {"pattern", {{"/dev/a", {}}, {"/dev/usb-*", id}}, {"/dev/a", "/dev/usb-1", "/dev/usb-2"}, 0, ""},
        {"no match",
         {{"/dev/a", {}}, {"/dev/acm?", {}}},
         {},
         kv::cli::kExitPort,
         "--port: no port matches \"/dev/acm?\""},
        {"twice",
         {{"/dev/a", {}}, {"/dev/a", id}},
         {},
         kv::cli::kExitUsage,
         "--port: /dev/a and /dev/a are the same port"},
        {"through a link",
         {{real, {}}, {"by-id/*", {}}},
         {},
         kv::cli::kExitUsage,
         "--port: " + real + " and " + link + " are the same port"},
        // Names are compared by what they open, whether it is there or not.
        {"a device and a link to it",
         {{"null", {}}, {nullLink, {}}},
         {},
         kv::cli::kExitUsage,
         "--port: null and " + nullLink + " are the same port"},
        {"short and full name",
         {{"/dev/pts/4", {}}, {" pts/4", {}}},
         {},
         kv::cli::kExitUsage,
         "--port: /dev/pts/4 and  pts/4 are the same port"},
        {"COM name",
         {{"COM1", {}}, {"/dev/ttyS0", {}}},
         {},
         kv::cli::kExitUsage,
         "--port: COM1 and /dev/ttyS0 are the same port"},
        {"folder dots",
         {{"/dev/kv-none", {}}, {"/dev/../dev/kv-none", {}}},
         {},
         kv::cli::kExitUsage,
         "--port: /dev/kv-none and /dev/../dev/kv-none are the same port"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto list = kv::cli::ExpandPorts(c.entries, match);
        EXPECT_EQ(list.code, c.code);
        EXPECT_EQ(list.error, c.error);
        if (c.code != 0) continue;
        std::vector<std::string> names;
        for (const auto& p : list.ports) names.push_back(p.name);
        EXPECT_EQ(names, c.ports);
        for (const auto& p : list.ports) EXPECT_EQ(p.id.has_value(), p.name.find("usb-") != std::string::npos);
    }
    fs::remove_all(folder, ec);
}

TEST(GangPorts, TheExitStatusIsTheFailureOfHighestPriority) {
    using namespace kv::cli;
    const int cases[][3] = {{0, 0, 0},
                            {0, kExitDifference, kExitDifference},
                            {kExitDifference, kExitId, kExitId},
                            {kExitId, kExitDifference, kExitId},
                            {kExitDevice, kExitDifference, kExitDevice},
                            {kExitLink, kExitFile, kExitFile},
                            {kExitUsage, kExitPort, kExitUsage},
                            {1, 0, 1}};
    for (const auto& c : cases) EXPECT_EQ(WorseExit(c[0], c[1]), c[2]) << c[0] << " " << c[1];
}

TEST(GangConsole, EveryLineCarriesItsPort) {
    const struct {
        CGangConsole::Style style;
        const char* out;
        const char* err;
    } cases[] = {
        {CGangConsole::Style::Lines, "B: {\"event\":\"exit\"}\nA: write: programmed\nA: info: half a line\n",
         "B: kelvane-cli: no answer\n"},
        {CGangConsole::Style::Json,
         "{\"port\":\"B\",\"event\":\"exit\"}\n{\"port\":\"A\"}\nA: write: programmed\nA: info: half a line\n",
         "B: kelvane-cli: no answer\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        CGangConsole console(out, err, c.style, {"A", "B"});
        {
            kv::cli::CPortStream a(console, 0, false);
            kv::cli::CPortStream b(console, 1, false);
            kv::cli::CPortStream bErr(console, 1, true);
            b << "{\"event\":\"exit\"}\n" << std::flush;
            if (c.style == CGangConsole::Style::Json) a << "{}\n";
            a << "write: programmed\ninfo: half";
            bErr << "kelvane-cli: no answer\n";
            a << " a line";  // the rest comes when the stream ends
        }
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(err.str(), c.err);
    }
}

TEST(GangConsole, TheSummaryNamesEveryFailedPort) {
    std::ostringstream out, err;
    CGangConsole console(out, err, CGangConsole::Style::Lines, {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"});
    console.Summary({{"/dev/ttyUSB0", 0, "", 21.04, 1},
                     {"/dev/ttyUSB1", 6, "the chip refused the ID", 3.2},
                     {"/dev/ttyUSB2", 8, "write: difference at 0C0123", 20.96}},
                    6);
    EXPECT_EQ(out.str(),
              "\n"
              "PORT          RESULT       FIRST ERROR                  TIME\n"
              "/dev/ttyUSB0  ok, 1 retry  -                            21.0 s\n"
              "/dev/ttyUSB1  failed (6)   the chip refused the ID      3.2 s\n"
              "/dev/ttyUSB2  failed (8)   write: difference at 0C0123  21.0 s\n"
              "2 of 3 ports failed: /dev/ttyUSB1, /dev/ttyUSB2 (exit status 6)\n");

    // -q: the failures alone, nothing when every port succeeded.
    std::ostringstream quiet, quietOk;
    CGangConsole(quiet, err, CGangConsole::Style::Lines, {"a", "b"})
        .Summary({{"a", 0, "", 1.0}, {"b", 5, "no answer", 2.0}}, 5, true);
    EXPECT_EQ(quiet.str(),
              "\n"
              "PORT  RESULT      FIRST ERROR  TIME\n"
              "b     failed (5)  no answer    2.0 s\n"
              "1 of 2 ports failed: b (exit status 5)\n");
    CGangConsole(quietOk, err, CGangConsole::Style::Lines, {"a", "b"})
        .Summary({{"a", 0, "", 1.0}, {"b", 0, "", 2.0}}, 0, true);
    EXPECT_EQ(quietOk.str(), "");

    std::ostringstream json;
    CGangConsole(json, err, CGangConsole::Style::Json, {"a", "b"})
        .Summary({{"a", 0, "", 1.0}, {"b", 5, "no \"answer\"", 2.0, 2}}, 5);
    EXPECT_EQ(json.str(),
              "{\"port\":\"a\",\"event\":\"summary\",\"ok\":true,\"code\":0,\"error\":\"\",\"seconds\":1.0,"
              "\"retries\":0}\n"
              "{\"port\":\"b\",\"event\":\"summary\",\"ok\":false,\"code\":5,\"error\":\"no \\\"answer\\\"\","
              "\"seconds\":2.0,\"retries\":2}\n"
              "{\"event\":\"exit\",\"ok\":false,\"code\":5,\"failed\":[\"b\"]}\n");
}

// What a terminal shows after `text`: the escapes the live status uses
// (cursor up, start of line, clear line, clear below).
std::vector<std::string> Screen(const std::string& text) {
    std::vector<std::string> rows(1);
    size_t row = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\n') {
            if (++row == rows.size()) rows.emplace_back();
        } else if (ch == '\r') {
            continue;  // every line is written whole from its start
        } else if (ch == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
            size_t end = i + 2;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
            const int n = end > i + 2 ? std::stoi(text.substr(i + 2, end - i - 2)) : 1;
            if (text[end] == 'A') row -= std::min(row, static_cast<size_t>(n));
            if (text[end] == 'K') rows[row].clear();
            if (text[end] == 'J') rows.resize(row + 1), rows[row].clear();
            i = end;
        } else {
            rows[row] += ch;
        }
    }
    return rows;
}

TEST(GangConsole, LiveStatusLinesStayBelowThePrintedLines) {
    std::ostringstream out, err;
    CGangConsole console(out, err, CGangConsole::Style::Live, {"/dev/a", "/dev/bb"}, 30);
    console.Phase(0, "Program", 40);
    console.Line(0, false, "info: version VER.2.05");
    console.Phase(1, "a phase far too long for the terminal's width", -1);
    console.Phase(0, "Program", 100);
    console.Line(1, false, "write: programmed");
    EXPECT_EQ(Screen(out.str()),
              (std::vector<std::string>{"/dev/a: info: version VER.2.05", "/dev/bb: write: programmed",
                                        "/dev/a   100%  Program", "/dev/bb        a phase far to", ""}));
}

}  // namespace
