#pragma once
// What the benchmarks against vireo-sim share: the simulator in its own
// process, a program file of given bytes, the machine's load.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kvbench {

// vireo-sim in its own process, with `extra` options; the first line it
// prints is the terminal (or, with --rfc2217, the server's URL).
class Simulator {
public:
    Simulator(const std::string& binary, const char* mode, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {binary, "--mode", mode, "--timing", "real"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (poll(&p, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
        close(out[0]);
    }
    ~Simulator() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    const std::string& Path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

inline std::string S2Image(uint32_t base, const std::vector<uint8_t>& bytes, bool terminate = true) {
    std::string text;
    char hex[4];
    for (size_t at = 0; at < bytes.size(); at += 32) {
        const size_t length = std::min<size_t>(32, bytes.size() - at);
        const uint32_t address = base + static_cast<uint32_t>(at);
        std::vector<uint8_t> record = {static_cast<uint8_t>(4 + length), static_cast<uint8_t>(address >> 16),
                                       static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
        record.insert(record.end(), bytes.begin() + static_cast<long>(at),
                      bytes.begin() + static_cast<long>(at + length));
        unsigned sum = 0;
        for (uint8_t b : record) sum += b;
        record.push_back(static_cast<uint8_t>(~sum));
        text += "S2";
        for (uint8_t b : record) {
            std::snprintf(hex, sizeof hex, "%02X", b);
            text += hex;
        }
        text += "\n";
    }
    return terminate ? text + "S804000000FB\n" : text;
}

// Wire time of one byte (start bit, 8 data bits, stop bit) at `baud`.
constexpr double ByteMs(double baud) { return 10.0 * 1000.0 / baud; }

// kelvane-cli's least time for the wake-up, the switch to 115200 bps, the
// first status and the ID check, step by step as the program goes.
inline double BringUpAndIdCheckMs() {
    const double slow = ByteMs(9600);
    const double fast = ByteMs(115200);
    // Wake-up: 50 ms, the first filler and 50 ms, 16 fillers 20 ms apart,
    // 50 ms, the 9600 bps code and 50 ms (its echo comes meanwhile); 1000 ms.
    double ms = 50 + 50 + 16 * 20 + 50 + 50 + 1000;
    // To 115200 bps: 50 ms, two codes echoed at 9600 bps with 1000 ms after
    // each, the code again at the new rate.
    ms += 50 + 2 * (slow + 1000) + fast;
    // First status and clear status (50 ms), the ID check: status, ID frame
    // (50 ms), status.
    return ms + 2 * fast + 50 + 2 * fast + 50 + 2 * fast;
}

// And back to 9600 bps at the end: 50 ms, two codes echoed at 115200 bps with
// 1000 ms after each, the code again at 9600 bps.
inline double BackTo9600Ms() { return 50 + 2 * (ByteMs(115200) + 1000) + ByteMs(9600); }

// The build folder that holds vireo-sim and the programs: the first argument,
// else $KELVANE_BUILD_DIR, else the folder this benchmark was built in.
inline std::string BuildDir(int argc, char** argv) {
    if (argc > 1) return argv[1];
    if (const char* env = std::getenv("KELVANE_BUILD_DIR")) return env;
    return KV_BUILD_DIR;
}

inline std::string LoadAverage() {
    std::FILE* f = std::fopen("/proc/loadavg", "r");
    char text[64] = "?";
    if (f) {
        if (!std::fgets(text, sizeof text, f)) text[0] = '\0';
        std::fclose(f);
    }
    std::string s = text;
    return s.substr(0, s.find(' ', s.find(' ') + 1));
}

}  // namespace kvbench
