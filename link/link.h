#pragma once
// One link to one board: the channel, the memory image, the state flags and,
// in kelvlite, the sequencer routine table, with the bring-up, baud-rate
// switching and recovery. The operations reach everything through it; what
// they ask of their user goes to its CLinkUser. Nothing here is process-wide:
// several links can live side by side.
#include <cstdint>
#include <memory>
#include <string>

#include "image/mot_file.h"
#include "image/routine_table.h"
#include "link/link_settings.h"
#include "link/link_user.h"
#include "link/outcome.h"
#include "link/protocol.h"
#include "link/serial_comm.h"
#include "link/transport.h"
#include "platform/clock.h"
#include "res/edition.h"

namespace kv {

class CLink {
public:
    CLink(Edition edition, plat::IClock& clock, ILinkSettings& settings, std::unique_ptr<plat::ISerialDevice> device,
          CLinkUser& user);
    virtual ~CLink();
    CLink(const CLink&) = delete;
    CLink& operator=(const CLink&) = delete;

    Edition edition() const { return edition_; }
    bool IsLite() const { return edition_ == Edition::Kelvlite; }

    CSerialComm& Channel() { return channel_; }
    CMotFile& Image() { return image_; }
    RoutineTable& Routines() { return routines_; }
    plat::IClock& Clock() { return clock_; }
    ILinkSettings& Settings() { return settings_; }
    CLinkUser& User() { return user_; }
    CTransport& Transport() { return *transport_; }
    void Sleep(uint32_t ms) { clock_.SleepMs(ms); }
    // Tells the user an outcome and answers it.
    Outcome Tell(const Outcome& outcome) {
        user_.Report(outcome);
        return outcome;
    }

    // State flags.
    int programMode = 0;  // 0 internal flash, 1 boot loader, 2 companion
    int linkReady = 0;
    int idVerified = 0;
    // kelvane-cli: the program and read-back loops visit only the pages the
    // image holds (the flash comes out the same: an unwritten page stays as
    // it is either way); the dialog programs visit every page of the range.
    bool imagePagesOnly = false;
    // kelvane-cli: a wake-up at 9600 bps that gets no answer looks for the
    // boot loader at the higher rates, where a run that was cut off may have
    // left it; the dialog programs ask for a reset at once.
    bool searchRatesAtWakeUp = false;

    // Sets the ID flag from the ID check state in SRD1 bits 3-2 of a status
    // reply: 00 or 01 clear it, 11 sets it, 10 leaves it.
    void ApplyIdCheckState(uint8_t srd1);

    // The boot loader's code for a baud rate (0xB0..0xB4), 0x00 for any other.
    static uint8_t BaudRateCode(uint32_t baud) { return kv::BaudRateCode(baud); }
    int ApplyLineSettings(uint32_t baud, uint8_t byteSize, uint8_t parity, uint8_t stopBits);
    // Writes the start-up synchronisation and reads the reply; 1 when the
    // boot loader (and, in kelvlite, the sequencer) answered as it should.
    // The caller runs RecoverLink on 0.
    int Synchronise();
    // The two halves of Synchronise for a caller that recovers after each
    // reply byte: the start-up sequence (nothing read) and a 1-byte check.
    void SendSyncSequence();
    int ExpectByte(uint8_t expected);
    // The recovery's wake-up sequence; nothing is read.
    void WakeBootLoader();
    // 1 when the boot loader echoed both codes, 0 when it did not, -1 when
    // a kelvlite routine was not acknowledged (the recovery has run).
    int SwitchBaudRate(uint32_t current, uint32_t target);
    // Moves the link to `baud`; when the boot loader does not take it, tells
    // the user (as an outcome of `op` in `phase`) and goes on at the old rate.
    // The rate in force, or what the recovery answered after a missing echo.
    uint32_t RestoreBaudRate(uint32_t baud, Operation op, Phase phase);
    // Back to 9600 bps, as the programs leave the link; Ok, or why not (told).
    Outcome ResetTo9600();
    // After a lost reply: the user decides whether the link is brought back.
    // Answers the rate the link goes on with, 0 when it did not come back.
    uint32_t RecoverLink();

    // kelvlite's sequencer: routine transfer and acknowledgement.
    int LoadRoutine(uint8_t code);
    int WaitAcknowledgement();

private:
    int SendRoutineSlot(int slot);
    // One byte of the wake-up runs, and `count` fillers each followed by a pause.
    void SendByte(uint8_t b);
    void SendFillers(int count, uint32_t gapMs);
    int ExpectAcknowledgement(const uint8_t* bytes, int count);

    Edition edition_;
    plat::IClock& clock_;
    ILinkSettings& settings_;
    CLinkUser& user_;
    std::unique_ptr<CTransport> transport_;
    CSerialComm channel_;
    CMotFile image_;
    RoutineTable routines_;
};

}  // namespace kv
