#pragma once
// What the link and the operations ask of whoever runs them: the person at
// the dialog programs' windows, or a command line. Everything is in the
// operation's own terms; how a question is put (a dialog, a message box, an
// argument) is the implementer's business. One object per link.
#include <cstdint>
#include <memory>
#include <string>

#include "link/outcome.h"

namespace kv {

// The progress of one page loop.
class CProgress {
public:
    virtual ~CProgress() = default;
    // The page at `address` is done; answers true once the user has cancelled.
    virtual bool Advance(uint32_t address) = 0;
    // Lets the user act during a pause without moving on; answers true once
    // the user has cancelled.
    virtual bool Poll() = 0;
    // Ends the display; safe after a cancel and more than once.
    virtual void Close() = 0;
    // The loop visits only `pages` pages of its range (told before the first).
    virtual void Visits(uint32_t pages) { (void)pages; }
};

class CLinkUser {
public:
    virtual ~CLinkUser() = default;

    // The range to work on: comes in as offered (both 0 when the image offers
    // none), goes out as chosen, in whole pages. False: the user declined.
    virtual bool ChooseRange(uint32_t& start, uint32_t& end) = 0;
    // The pause after each page frame; false when there is none to be had.
    virtual bool ProgramInterval(int& ms) = 0;
    // The longest pause after a page frame that any user may choose.
    static constexpr int kMaxProgramIntervalMs = 10000;
    // Programming start..end may begin ("Program next area.").
    virtual bool ConfirmProgram(uint32_t start, uint32_t end) = 0;
    // The boot program may be downloaded.
    virtual bool ConfirmDownload() = 0;

    // A page loop over start..end begins. None: it cannot be shown, and the
    // operation ends without traffic.
    virtual std::unique_ptr<CProgress> OpenProgress(const std::string& message, const std::string& title,
                                                    uint32_t start, uint32_t end) = 0;

    // A reply did not come (`timedOut`) or came wrong. True: the link is to
    // be brought back (the board has been reset); false: give up.
    virtual bool RetryLostLink(bool timedOut) = 0;
    // The communication state to set, offered as stored (after a lost reply
    // too, once the boot loader has woken again at 9600 bps). False: the
    // user declined.
    virtual bool ChooseCommState(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) = 0;
    // The user waits while the link is being set, from true to false.
    virtual void Waiting(bool on) = 0;
    // The chip gave no status after the start-up synchronisation: whether
    // the communication state is to be set now (the baud-rate setting follows).
    virtual bool SetCommStateFirst() = 0;
    // The run is ending (the link was given up, or a stop was asked for):
    // nothing more is to be asked of the chip.
    virtual bool Ending() = 0;
    // A stop signal has arrived: a cancel the user sees is a stop.
    virtual bool StopRequested() { return false; }

    // An outcome as it happens: every outcome of an operation or of a step of
    // the link is told once, where it arises.
    virtual void Report(const Outcome& outcome) = 0;
    // The status register and the boot loader's version, read on request.
    virtual void ShowStatus(uint8_t srd, uint8_t srd1) = 0;
    virtual void ShowVersion(const std::string& text) = 0;
    // A developer's trace line.
    virtual void Trace(const std::string& text) = 0;
};

}  // namespace kv
