#pragma once
// Lines of text from standard input (or any file descriptor) with a look at
// the next line that never waits, so a long operation can notice a line the
// user typed while it runs without ever blocking on the keyboard.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace plat {

// Longest line taken; a longer one is refused (no answer is ever that long).
constexpr size_t kMaxInputLine = 64 * 1024;

class ILineSource {
public:
    virtual ~ILineSource() = default;
    // Waits for the next line and takes it, without its "\n" or "\r\n".
    // False at end of input. A last line without a line end still counts.
    virtual bool ReadLine(std::string& line) = 0;
    // The next line, without taking it, when it has already arrived complete
    // (line end seen, or end of input after it). Never waits.
    virtual std::optional<std::string> PeekCompleteLine() = 0;
    // How many lines longer than kMaxInputLine were skipped since the last call.
    virtual size_t TakeRefusedLines() { return 0; }
};

// Reads `fd` through a buffer of its own; the descriptor stays open and
// is not switched to non-blocking mode. When `wakeFd` becomes readable
// (a stop request), a waiting ReadLine gives up and answers false.
std::unique_ptr<ILineSource> MakeFdLineSource(int fd, int wakeFd = -1);

// Whether `fd` is a terminal (progress is then redrawn in place).
bool IsTerminal(int fd);

}  // namespace plat
