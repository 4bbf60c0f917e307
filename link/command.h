#pragma once
// Base of every operation on the chip. An operation is built on the stack,
// its Run is called once, and it is destroyed; the channel and the link's
// state are reached through the link, the user's answers through its user.
#include <cstdint>
#include <string_view>

#include "link/outcome.h"
#include "link/protocol.h"
#include "link/serial_comm.h"
#include "link/status_read.h"

namespace kv {

class CLink;

// How the status read after a command came out.
enum class StatusCheck {
    Ok,        // the chip is ready and the error bit is clear
    Error,     // the error bit is set, or the chip is not ready (SRD bit 7 clear)
    LinkLost,  // no reply, or kelvlite's routine or handshake failed: the recovery has run
};

class CCommand {
public:
    explicit CCommand(CLink& link) : app_(link) {}
    virtual ~CCommand() = default;
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;

    // Status read that tests the error bit for `kind` in SRD: "erase" bit 5,
    // "program" bit 4, any other text bit 0 (exact, case-sensitive). Input
    // left on the line (noise, the tail of an earlier reply) is dropped
    // before the request, so it cannot be taken for the status; a status
    // that is not ready never passes. `reply`, when given, gets the bytes.
    StatusCheck CheckStatus(CSerialComm& channel, std::string_view kind, StatusReply* reply = nullptr);
    // The same as 1 (error, not ready or no reply) or 0.
    int CheckStatusError(CSerialComm& channel, std::string_view kind);

    // "0"-"9" -> 0-9, "a"-"f" and "A"-"F" -> 10-15, anything else 0.
    static uint32_t HexDigitValue(char ch);

    CLink& App() const { return app_; }

protected:
    CLink& app_;
};

// The outcome of `op` for a status check that did not pass: the link lost,
// or the device error with the status bytes that told.
Outcome StatusFailure(Operation op, Phase phase, StatusCheck check, const StatusReply& reply);

}  // namespace kv
