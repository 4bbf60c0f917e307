// Boards behind a serial device server: kelvane-cli through ser2net (telnet
// with the COM-PORT option, or raw TCP) in front of vireo-sim's terminal,
// directly or through a proxy that slows the network or drops the connection.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/net_port.h"
#include "platform/serial_device.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/ser2net_rig.h"

namespace {

using kvtest::BuildPath;

constexpr int kDeadlineMs = 90000;
constexpr size_t kImageBytes = 4 * 256;
constexpr int kBaudRequest = 1, kDataSizeRequest = 2, kParityRequest = 3, kStopBitsRequest = 4;

#define SKIP_WITHOUT_SER2NET()          \
    if (kvnet::Ser2netBinary().empty()) \
    GTEST_SKIP() << "ser2net is not installed (scripts/install-deps --ci installs it): no network-port test"

// Bytes with 0xFF among them, which the telnet stream must escape both ways.
std::vector<uint8_t> ImageBytes() {
    std::vector<uint8_t> bytes(kImageBytes);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = i % 5 == 0 ? 0xFF : static_cast<uint8_t>(i * 13 + 7);
    return bytes;
}

// The head of the simulator's flash dump, where the image went.
std::vector<uint8_t> DumpedImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    bytes.resize(std::min(bytes.size(), kImageBytes));
    return bytes;
}

struct Board {
    explicit Board(const std::string& folder, const std::string& name)
        : dump(folder + "/" + name + ".bin"),
          sim(std::make_unique<kvtest::SimServer>(std::vector<std::string>{"--mode", "flash", "--dump", dump})) {}
    std::string dump;
    std::unique_ptr<kvtest::SimServer> sim;
};

kvtest::ProgramRun Cli(const std::string& folder, std::vector<std::string> args) {
    args.insert(args.begin(), "kelvane-cli");
    const std::string suppressions = (std::filesystem::path(__FILE__).parent_path() / "lsan_gensio.supp").string();
    return kvtest::RunProgram(BuildPath("kelvane-cli"), args,
                              {"XDG_CONFIG_HOME=" + folder, "XDG_RUNTIME_DIR=" + folder,
                               "KELVANE_UI=", "LSAN_OPTIONS=suppressions=" + suppressions},
                              "", kDeadlineMs);
}

TEST(NetworkPortName, UrlsAreParsedAndNeverTakenForDevices) {
    struct Case {
        std::string name;
        plat::NetPortKind kind;
        std::string host;
        uint16_t port;  // 0: refused
    };
    const Case cases[] = {
        {"rfc2217://192.168.1.20:4001", plat::NetPortKind::Rfc2217, "192.168.1.20", 4001},
        {" RFC2217://station-3.line:2000/ ", plat::NetPortKind::Rfc2217, "station-3.line", 2000},
        {"socket://localhost:65535", plat::NetPortKind::RawTcp, "localhost", 65535},
        {"rfc2217://host", plat::NetPortKind::Rfc2217, "", 0},
        {"rfc2217://:4001", plat::NetPortKind::Rfc2217, "", 0},
        {"rfc2217://host:0", plat::NetPortKind::Rfc2217, "", 0},
        {"socket://host:70000", plat::NetPortKind::RawTcp, "", 0},
        {"socket://a,b:1", plat::NetPortKind::RawTcp, "", 0},  // a comma would split the library's stack
        {"ttyUSB0", plat::NetPortKind::None, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(plat::NetPortKindOf(c.name), c.kind);
        plat::NetPortAddress address;
        std::string error;
        const bool parsed = plat::ParseNetPort(c.name, address, error);
        EXPECT_EQ(parsed, c.port != 0) << error;
        if (parsed) {
            EXPECT_EQ(address.host, c.host);
            EXPECT_EQ(address.port, c.port);
        } else {
            EXPECT_FALSE(error.empty());
        }
        // A URL goes on as it is (kelvlite gets the same name).
        if (c.kind != plat::NetPortKind::None) {
            EXPECT_EQ(plat::DevicePathForPort(c.name).rfind("/dev/", 0), std::string::npos);
        }
    }
}

// A write with its read check through ser2net: the image arrives whole, and
// each setting went to the server only when it changed (the rate at the
// switch up and back; the rest never), counted on the last connection.
TEST(NetworkPortE2e, WriteVerifyThroughSer2net) {
    SKIP_WITHOUT_SER2NET();
    struct Case {
        const char* name;
        uint32_t oneWayMs;
        bool withLocalBoard;  // a second board on its own terminal in the same run
    };
    const Case cases[] = {
        {"through ser2net", 0, false},
        {"30 ms round trip", 15, false},
        {"with a local board", 0, true},
    };
    const std::vector<uint8_t> image = ImageBytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = kvtest::FreshFolder("remote_write");
        const std::string file = folder + "/image.bin";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        Board remote(folder, "remote");
        std::unique_ptr<Board> local;
        if (c.withLocalBoard) local = std::make_unique<Board>(folder, "local");
        kvnet::Ser2net server({remote.sim->Port()}, folder);
        ASSERT_TRUE(server.Ready()) << "ser2net did not start; see " << folder << "/ser2net.log";
        kvnet::DelayProxy network(server.Port(), c.oneWayMs);

        std::vector<std::string> args = {"--port", network.Url()};
        if (local) args.insert(args.end(), {"--port", local->sim->Port()});
        args.insert(args.end(), {"--id", "11223344556677", "-q", "write", file, "--base", "0C0000", "--verify"});
        const auto run = Cli(folder, args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_FALSE(run.timedOut);

        const auto counts = network.Counts();
        ASSERT_FALSE(counts.empty());
        const auto& last = counts.back();
        EXPECT_EQ(last[kBaudRequest], 3) << "the rate asked for once, then set to 115200 and back to 9600";
        EXPECT_EQ(last[kDataSizeRequest], 1);
        EXPECT_EQ(last[kParityRequest], 1);
        EXPECT_EQ(last[kStopBitsRequest], 1);

        remote.sim->Stop();
        EXPECT_EQ(DumpedImage(remote.dump), image);
        if (local) {
            local->sim->Stop();
            EXPECT_EQ(DumpedImage(local->dump), image);
        }
    }
}

// Each way the network fails ends with a clear message and the status of
// its kind, in bounded time; raw TCP works where the link stays at 9600 bps.
TEST(NetworkPortE2e, FailuresEndWithTheirExitStatus) {
    SKIP_WITHOUT_SER2NET();
    enum class Setup { Refused, Silent, Taken, DroppedMidWrite, RawWithoutBaud, RawAt9600 };
    struct Case {
        const char* name;
        Setup setup;
        int exit;
        const char* message;
    };
    const Case cases[] = {
        {"connection refused", Setup::Refused, 4, "refused"},
        {"server that does not answer", Setup::Silent, 4, "does not answer"},
        {"port another client holds", Setup::Taken, 4, "closed the connection"},
        {"server gone mid-write", Setup::DroppedMidWrite, 5, ""},
        {"raw TCP with a rate change", Setup::RawWithoutBaud, 2, "stays at 9600 bps"},
        {"raw TCP at 9600 bps", Setup::RawAt9600, 0, ""},
    };
    const std::vector<uint8_t> image = ImageBytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = kvtest::FreshFolder("remote_fail");
        const std::string file = folder + "/image.bin";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        Board board(folder, "board");
        std::unique_ptr<kvnet::Ser2net> server;
        std::unique_ptr<kvnet::DelayProxy> proxy;
        std::unique_ptr<kvtest::SimServer> taken;
        int silent = -1;
        std::string url;
        std::vector<std::string> extra;
        switch (c.setup) {
            case Setup::Refused: url = "rfc2217://127.0.0.1:" + std::to_string(kvnet::FreePort()); break;
            case Setup::Silent: {
                // Listens (the kernel completes the handshake) and never says a word.
                silent = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                socklen_t len = sizeof a;
                ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
                ASSERT_EQ(listen(silent, 4), 0);
                getsockname(silent, reinterpret_cast<sockaddr*>(&a), &len);
                url = "rfc2217://127.0.0.1:" + std::to_string(ntohs(a.sin_port));
                break;
            }
            case Setup::Taken: {
                // The simulated chip's own network face serves one client at a time.
                taken =
                    std::make_unique<kvtest::SimServer>(std::vector<std::string>{"--mode", "flash", "--rfc2217", "0"});
                url = taken->Port();
                sockaddr_in a{};
                a.sin_family = AF_INET;
                a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                a.sin_port = htons(static_cast<uint16_t>(std::stoi(url.substr(url.rfind(':') + 1))));
                silent = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                ASSERT_EQ(connect(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
                break;
            }
            case Setup::DroppedMidWrite:
                server = std::make_unique<kvnet::Ser2net>(std::vector<std::string>{board.sim->Port()}, folder);
                ASSERT_TRUE(server->Ready());
                proxy = std::make_unique<kvnet::DelayProxy>(server->Port(), 0, 700);  // in the third page frame
                url = proxy->Url();
                break;
            case Setup::RawWithoutBaud:
            case Setup::RawAt9600:
                server = std::make_unique<kvnet::Ser2net>(std::vector<std::string>{board.sim->Port()}, folder, false);
                ASSERT_TRUE(server->Ready());
                url = "socket://127.0.0.1:" + std::to_string(server->Port());
                if (c.setup == Setup::RawAt9600) extra = {"--baud", "9600"};
                break;
        }
        std::vector<std::string> args = {"--port", url};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"--id", "11223344556677", "-q", "write", file, "--base", "0C0000", "--verify"});
        const auto began = std::chrono::steady_clock::now();
        const auto run = Cli(folder, args);
        const auto took = std::chrono::steady_clock::now() - began;
        if (silent >= 0) close(silent);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.exit) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        if (c.exit == 4) {
            EXPECT_LT(took, std::chrono::seconds(15));
        }
        if (c.exit == 0) {
            board.sim->Stop();
            EXPECT_EQ(DumpedImage(board.dump), image);
        }
    }
}

}  // namespace
