#pragma once
// The one owner of stdout and stderr while several boards are flashed at
// once. Each port's run prints into streams of its own; whole lines reach
// the console, which tags them with their port: "PORT: text", or a "port"
// member in each JSON object. On a terminal it keeps one live status line
// per port (phase and percent) below the lines printed so far.
#include <chrono>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/report_printer.h"

namespace kv::cli {

// How one port's run ended, for the summary.
struct PortOutcome {
    std::string port;
    int code = 0;
    std::string firstError;  // empty when it succeeded
    double seconds = 0;
    int retries = 0;  // the link brought back after a loss (--retry)
};

class CGangConsole {
public:
    enum class Style { Lines, Json, Live };

    CGangConsole(std::ostream& out, std::ostream& err, Style style, std::vector<std::string> ports, int columns = 80);
    CGangConsole(const CGangConsole&) = delete;
    CGangConsole& operator=(const CGangConsole&) = delete;

    // A whole line the run on port `index` printed (without its line end).
    void Line(size_t index, bool toErr, const std::string& text);
    // A line of the whole gang's on stderr (a stop signal came).
    void Notice(const std::string& text);
    // The live status of port `index`.
    void Phase(size_t index, const std::string& phase, int percent);
    // The table of every port's result, and the gang's exit status;
    // `failuresOnly` (-q): the rows of the ports that failed, nothing when none did.
    void Summary(const std::vector<PortOutcome>& outcomes, int code, bool failuresOnly = false);

private:
    struct Status {
        std::string phase;
        int percent = -1;
    };
    std::string StatusLine(size_t index) const;
    void EraseBlock();
    void DrawBlock();

    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    Style style_;
    std::vector<std::string> ports_;
    std::vector<Status> status_;
    size_t portWidth_ = 0;
    int columns_;
    size_t drawn_ = 0;  // status lines on the screen below the printed lines
    std::chrono::steady_clock::time_point lastDraw_{};
};

// A stream whose whole lines go to the console as the lines of one port.
class CPortStream : public std::ostream {
public:
    CPortStream(CGangConsole& console, size_t index, bool toErr);
    ~CPortStream() override;

private:
    class Buffer : public std::streambuf {
    public:
        Buffer(CGangConsole& console, size_t index, bool toErr) : console_(console), index_(index), toErr_(toErr) {}
        void Flush();

    protected:
        int_type overflow(int_type ch) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;

    private:
        CGangConsole& console_;
        size_t index_;
        bool toErr_;
        std::string pending_;
    };
    Buffer buffer_;
};

// Follows one port's run for the live status and keeps its first failure.
class CPortWatcher : public CRunWatcher {
public:
    CPortWatcher(CGangConsole& console, size_t index) : console_(console), index_(index) {}
    void Phase(const std::string& phase, int percent) override { console_.Phase(index_, phase, percent); }
    void Failed(int code, const std::string& text) override;
    const std::string& FirstError() const { return firstError_; }

private:
    CGangConsole& console_;
    size_t index_;
    std::string firstError_;
};

}  // namespace kv::cli
