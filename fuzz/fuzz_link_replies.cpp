// A whole kelvane-cli run against a board whose every reply is arbitrary
// bytes: each block the program writes is answered with the next chunk of
// the input (a length byte, then that many bytes). On virtual time, so the
// time-outs cost nothing. The run must end, and a verify or a write (which
// reads back) may succeed only when the page came back whole: the input
// holds the 256 bytes of the file's page.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_session.h"
#include "tests/support/fake_serial_device.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

constexpr uint8_t kFill = 0x5A;

// Virtual time with a bound: a run that is still going after a day of it has
// lost its way.
class BoundedClock : public kvtest::VirtualClock {
public:
    void SleepMs(uint32_t ms) override {
        VirtualClock::SleepMs(ms);
        Check(Now() < 24ull * 3600 * 1000);
    }
};

std::string Scratch(const std::string& name) {
    const char* dir = getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/fuzz_link_" + std::to_string(getpid()) + "_" + name;
}

// One page of kFill at 0C0000.
std::string ProgramFile() {
    const std::string path = Scratch("page.mot");
    std::ofstream out(path);
    static const char* digits = "0123456789ABCDEF";
    for (uint32_t at = 0x0C0000; at < 0x0C0100; at += 16) {
        std::vector<uint8_t> record = {20, uint8_t(at >> 16), uint8_t(at >> 8), uint8_t(at)};
        record.insert(record.end(), 16, kFill);
        uint8_t sum = 0;
        for (uint8_t b : record) sum = uint8_t(sum + b);
        record.push_back(uint8_t(~sum));
        out << "S2";
        for (uint8_t b : record) out << digits[b >> 4] << digits[b & 15];
        out << "\n";
    }
    out << "S804000000FB\n";
    return path;
}

bool HoldsWholePage(const uint8_t* data, size_t size) {
    size_t run = 0;
    for (size_t i = 0; i < size; ++i) {
        run = data[i] == kFill ? run + 1 : 0;
        if (run >= 256) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 8192) return 0;
    static const std::string program = ProgramFile();
    static const std::string readOut = Scratch("read.mot");
    static const char* modes[] = {"flash", "bootloader", "lite"};

    std::vector<std::string> args = {"kelvane-cli",    "--port",           "COM1",
                                     "--mode",         modes[data[0] % 3], "--id",
                                     "11223344556677", "--firm",           KELVANE_SOURCE_DIR "/res/firm.mot"};
    const int commands = (data[0] / 3) % 4;
    if (commands == 0) args.insert(args.end(), {"info"});
    if (commands == 1) args.insert(args.end(), {"write", program});
    if (commands == 2) args.insert(args.end(), {"verify", program});
    if (commands == 3) args.insert(args.end(), {"read", readOut, "--range", "0C0000-0C01FF"});
    const auto parsed = kv::cli::ParseOptions(args);
    Check(parsed.error.empty());

    BoundedClock clock;
    size_t next = 1;
    const auto makeDevice = [&]() -> std::unique_ptr<plat::ISerialDevice> {
        auto device = std::make_unique<kvtest::FakeSerialDevice>(clock);
        device->SetResponder([&](kvtest::FakeSerialDevice& dev, const std::vector<uint8_t>&) {
            if (next >= size) return;
            const size_t asked = data[next++];
            const size_t length = std::min(asked, size - next);
            dev.Deliver(std::vector<uint8_t>(data + next, data + next + length), dev.Clock().Now() + 1);
            next += length;
        });
        return device;
    };
    std::ostringstream out;
    std::ostringstream err;
    kv::cli::SessionServices services{clock, makeDevice, "/nonexistent/kelvane-cli", out, err, false, nullptr, {}};
    const int status = kv::cli::RunSession(parsed.options, services);
    Check(status >= 0 && status < 256);
    if (status == 0 && (commands == 1 || commands == 2)) Check(HoldsWholePage(data + 1, size - 1));
    unlink(readOut.c_str());
    return 0;
}
