#pragma once
// How commands reach the chip. kelvane talks to the boot loader directly;
// kelvlite's sequencer first gets the routine that executes each command and
// ends each command with a handshake. The exchanges are written once against
// this interface, so that neither they nor the operations ask which program
// they run in.
#include <cstdint>
#include <memory>

namespace kv {

class CLink;

class CTransport {
public:
    virtual ~CTransport() = default;

    // Before the command `code`: kelvlite sends its routine and waits for
    // the acknowledgement. False when it was not acknowledged (the recovery
    // has run).
    virtual bool Prepare(uint8_t code) = 0;
    // After a command's reply: kelvlite's end-of-command handshake, then a
    // pause of `pauseAfterMs`. False when it was not acknowledged (the
    // recovery has run).
    virtual bool Conclude(uint32_t pauseAfterMs = 0) = 0;
    // After a frame that kelvlite's sequencer acknowledges (page program, ID
    // check): its acknowledgement; kelvane's boot loader sends none, and the
    // link pauses `unacknowledgedPauseMs` instead. False as above.
    virtual bool FrameTaken(uint32_t unacknowledgedPauseMs) = 0;
    // Clear status, and the erase of all blocks (kelvane sends its erase
    // prefix first): in kelvlite the routines are the whole commands.
    virtual bool ClearStatus() = 0;
    virtual bool EraseAll() = 0;
    // Whether the boot loader takes the block erase frame: an old kelvane
    // boot loader can be erased block by block.
    virtual bool ErasesByBlock() const = 0;
};

// kelvane's direct transport, or kelvlite's sequencer, for `link`.
std::unique_ptr<CTransport> MakeDirectTransport(CLink& link);
std::unique_ptr<CTransport> MakeSequencerTransport(CLink& link);

}  // namespace kv
