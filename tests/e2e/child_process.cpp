#include "tests/e2e/child_process.h"
#include "tests/support/test_folder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kvtest {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> p;
    for (auto& t : texts) p.push_back(t.data());
    p.push_back(nullptr);
    return p;
}

// Reads both pipes until they close or the deadline passes; `seen` looks
// at the output after each piece of it, and answers true to close it.
template <typename Seen>
bool Drain(int outFd, int errFd, std::string& out, std::string& err, Clock::time_point deadline, Seen seen) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        if (poll(fds, 2, static_cast<int>(left)) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? out : err).append(buf, static_cast<size_t>(n));
                if (i == 0 && seen(out)) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
}

}  // namespace

std::string BuildPath(const std::string& name) {
    const char* dir = std::getenv("KELVANE_BUILD_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& input, int timeoutMs) {
    return RunProgram(path, args, env, input, timeoutMs, SignalAt{});
}

ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& input, int timeoutMs,
                      const SignalAt& signalAt) {
    ProgramRun run;
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return run;
    std::vector<std::string> argv = args;
    std::vector<std::string> envCopy = env;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        for (auto& e : envCopy) putenv(e.data());
        auto p = Pointers(argv);
        execv(path.c_str(), p.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // The script is small: it fits the pipe, so the program can read it at its pace.
    if (!input.empty() && write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
        ADD_FAILURE() << "standard input not written";
    const bool waits = signalAt.signal != 0 || signalAt.closeOutput;
    if (!waits) close(in[1]);

    bool signalled = false;
    auto seen = [&](const std::string& text) {
        if (!waits || signalled || text.find(signalAt.afterOutput) == std::string::npos) return false;
        signalled = true;
        if (signalAt.closeOutput) return true;
        kill(pid, signalAt.signal);
        return false;
    };
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (!Drain(out[0], err[0], run.out, run.err, deadline, seen)) {
        run.timedOut = true;
        kill(pid, SIGKILL);
    }
    if (!(signalAt.closeOutput && signalled)) close(out[0]);
    close(err[0]);
    if (waits) close(in[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!run.timedOut && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

SimServer::SimServer(const std::vector<std::string>& options) {
    int out[2];
    if (pipe(out) != 0) return;
    std::vector<std::string> argv = {BuildPath("vireo-sim")};
    argv.insert(argv.end(), options.begin(), options.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        auto p = Pointers(argv);
        execv(argv[0].c_str(), p.data());
        _exit(127);
    }
    close(out[1]);
    // The first line names the terminal.
    pollfd p{out[0], POLLIN, 0};
    char c;
    while (poll(&p, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') port_ += c;
    close(out[0]);
}

SimServer::~SimServer() { Stop(); }

void SimServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::vector<std::pair<int, unsigned>> ReadByteLog(const std::string& path) {
    std::vector<std::pair<int, unsigned>> bytes;
    std::ifstream f(path);
    std::string line;
    // "HH BAUD", with " x" after a byte that came at another rate than the chip's.
    while (std::getline(f, line)) {
        std::istringstream fields(line);
        std::string hex;
        unsigned baud = 0;
        if (fields >> hex >> baud) bytes.emplace_back(std::stoi(hex, nullptr, 16), baud);
    }
    return bytes;
}

std::string FreshFolder(const std::string& name) { return TestFolder("e2e_" + name); }

}  // namespace kvtest
