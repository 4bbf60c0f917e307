#pragma once
// What the benchmarks against vireo-sim share: the simulator in its own
// process, a program file of given bytes, the machine's load.
#include <signal.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kvbench {

// vireo-sim in its own process; the first line it prints is the terminal.
class Simulator {
public:
    Simulator(const std::string& binary, const char* mode) {
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            execl(binary.c_str(), binary.c_str(), "--mode", mode, "--timing", "real", nullptr);
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

inline std::string S2Image(uint32_t base, const std::vector<uint8_t>& bytes) {
    std::string text;
    char hex[4];
    for (size_t at = 0; at < bytes.size(); at += 32) {
        const uint32_t address = base + static_cast<uint32_t>(at);
        std::vector<uint8_t> record = {36, static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 8),
                                       static_cast<uint8_t>(address)};
        record.insert(record.end(), bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + 32));
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
    return text + "S804000000FB\n";
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
