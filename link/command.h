#pragma once
// Base of every operation on the chip. An operation is built on the stack,
// its Run is called once, and it is destroyed; the channel and the link's
// state are reached through the link, the user's answers through its user.
#include <cstdint>
#include <string_view>

#include "link/serial_comm.h"

namespace kv {

class CLink;

// Command codes written to the chip.
enum CommandCode : uint8_t {
    kSyncFiller = 0x00,
    kStatusRead = 0x70,
    kClearStatus = 0x50,
    kPageRead = 0xFF,
    kPageProgram = 0x41,
    kBlockErase = 0x20,
    kEraseAll = 0xA7,
    kEraseConfirm = 0xD0,
    kErasePrefix = 0x75,
    kIdCheck = 0xF5,
    kDownload = 0xFA,
    kVersionRead = 0xFB,
    kHandshake = 0x06,  // kelvlite's end-of-command handshake
};

class CCommand {
public:
    explicit CCommand(CLink& link) : app_(link) {}
    virtual ~CCommand() = default;
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;

    // Status read that answers whether the error bit for `kind` is set in
    // SRD: "erase" bit 5, "program" bit 4, any other text bit 0 (exact,
    // case-sensitive). Answers 1 (error) or 0; 1 after a missing reply, once
    // RecoverLink has run.
    int CheckStatusError(CSerialComm& channel, std::string_view kind);

    // "0"-"9" -> 0-9, "a"-"f" and "A"-"F" -> 10-15, anything else 0.
    static uint32_t HexDigitValue(char ch);

    CLink& App() const { return app_; }

protected:
    CLink& app_;
};

}  // namespace kv
