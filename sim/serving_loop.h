#pragma once
// vireo-sim's serving loop, shared by its faces (the pseudo-terminal, the
// RFC 2217 server): the simulated chip fed with what the client sends, its
// answers written back when each byte is due, until SIGINT or SIGTERM.
#include <poll.h>

#include <cstdint>
#include <deque>
#include <fstream>
#include <iosfwd>
#include <vector>

#include "sim/chip.h"
#include "sim/server_config.h"

namespace sim {

// What came from the client, in the order it came.
struct ClientInput {
    enum class Kind { Bytes, Line };
    Kind kind = Kind::Bytes;
    std::vector<uint8_t> bytes;  // Bytes: as they came, at `baud`
    uint32_t baud = 0;
    Line line = Line::Dtr;  // Line: a modem line set or cleared
    bool on = false;
};

// How the loop reaches its client.
class ClientFace {
public:
    virtual ~ClientFace() = default;
    // What to wait on for input, and, when `blocked`, for room to write.
    virtual pollfd PollFor(bool blocked) const = 0;
    // What came since the last call (nothing when nothing did).
    virtual std::vector<ClientInput> Take() = 0;
    // Writes bytes to the client; the count taken, fewer when its queue is
    // full. Bytes nobody is there to hear count as taken.
    virtual size_t Send(const uint8_t* data, size_t count) = 0;
};

// The firmware for lite mode, found as --firm or beside the program; false
// with a message on `err`.
bool LoadFirmware(ServerConfig& config, std::ostream& err);

// SIGINT and SIGTERM end Serve; false with a message on `err`.
bool InstallStopSignals(std::ostream& err);

class ServingLoop {
public:
    ServingLoop(ServerConfig& config, std::ostream& err);

    // Loads the flash and opens the log; false with a message on `err`.
    bool Prepare();
    // Serves `face` until a stop signal.
    void Serve(ClientFace& face);
    // Writes the dumps of the flash and the last download.
    void Finish();

private:
    void Take(const std::vector<TimedByte>& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }
    bool Flush(ClientFace& face, uint64_t now);
    void Receive(ClientFace& face);
    void Log(const char* line);

    ServerConfig& config_;
    std::ostream& err_;
    Chip chip_;
    std::deque<TimedByte> pending_;
    std::ofstream log_;
};

}  // namespace sim
