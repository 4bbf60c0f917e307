#pragma once
// Real processes for the end-to-end tests: a program run with a scripted
// standard input and a deadline, and the simulator serving its pseudo-terminal.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace kvtest {

std::string BuildPath(const std::string& name);  // $KELVANE_BUILD_DIR/<name>

struct ProgramRun {
    int exitCode = -1;      // -1: killed or did not exit normally
    bool timedOut = false;  // killed at the deadline
    std::string out;
    std::string err;
};

// Runs `path` with `args` (argv[0] included), the environment plus `env`
// ("NAME=value"), `input` on standard input; kills it after `timeoutMs`.
ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& input, int timeoutMs);

// A signal for RunProgram to send once the output holds `afterOutput`.
// Standard input then stays open until the program ends, so the program
// waits at its prompts as it would at a keyboard.
struct SignalAt {
    std::string afterOutput;
    int signal = 0;
    // Instead of a signal: the reader of standard output goes away, as
    // `| head -1` does.
    bool closeOutput = false;
};

ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& args,
                      const std::vector<std::string>& env, const std::string& input, int timeoutMs,
                      const SignalAt& signalAt);

// vireo-sim on a pseudo-terminal until the object goes.
class SimServer {
public:
    explicit SimServer(const std::vector<std::string>& options);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    const std::string& Port() const { return port_; }
    // Ends the simulator (its log is complete afterwards).
    void Stop();

private:
    pid_t pid_ = -1;
    std::string port_;
};

// The simulator's --log: one (byte, baud) per byte it received.
std::vector<std::pair<int, unsigned>> ReadByteLog(const std::string& path);

// A fresh empty folder under the test's temporary folder, removed when the
// test ends.
std::string FreshFolder(const std::string& name);

}  // namespace kvtest
