#pragma once
// The application object: owns the channel, the memory image, the flags and,
// in kelvlite, the sequencer routine table, for the whole run. Dialogs and
// operations reach everything through it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/edition.h"
#include "image/mot_file.h"
#include "link/routine_table.h"
#include "link/serial_comm.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "toolkit/ui.h"

namespace kv {

// The platform services and front end one program run uses.
struct AppServices {
    plat::IClock& clock;
    plat::IProfile& profile;      // the settings file
    plat::IInstanceLock& lock;
    plat::IProcess& process;
    tk::Ui& ui;
};

class CKelvixApp {
public:
    CKelvixApp(Edition edition, AppServices services, std::unique_ptr<plat::ISerialDevice> device);
    ~CKelvixApp();
    CKelvixApp(const CKelvixApp&) = delete;
    CKelvixApp& operator=(const CKelvixApp&) = delete;

    Edition edition() const { return edition_; }
    bool IsLite() const { return edition_ == Edition::Kelvlite; }

    // Owned for the run.
    CSerialComm& Channel() { return channel_; }
    CMotFile& Image() { return image_; }
    RoutineTable& Routines() { return routines_; }

    // Services.
    plat::IClock& Clock() { return services_.clock; }
    plat::IProfile& Profile() { return services_.profile; }
    plat::IInstanceLock& Lock() { return services_.lock; }
    plat::IProcess& Process() { return services_.process; }
    tk::Ui& Ui() { return services_.ui; }
    void Sleep(uint32_t ms) { services_.clock.SleepMs(ms); }

    // A message box with the title as caption and the text of message `id`.
    int Message(int id, tk::Icon icon, tk::Buttons buttons = tk::Buttons::Ok);
    // A message box with the title as caption and the given text.
    int MessageText(const std::string& text, tk::Icon icon, tk::Buttons buttons = tk::Buttons::Ok);
    std::string String(int id) const;

    // Application flags.
    int programMode = 0;  // 0 internal flash, 1 boot loader, 2 companion
    int linkReady = 0;
    int idVerified = 0;

    // Process-wide values that outlive dialogs (none is saved).
    int firstRun = 0;
    int lastMcuType = 0;
    int programInterval = 40;
    std::string rememberedStart = "0C0000";
    std::string rememberedEnd = "0FFFFF";

    // Sets the ID flag from the ID check state in SRD1 bits 3-2 of a status
    // reply: 00 or 01 clear it, 11 sets it, 10 leaves it.
    void ApplyIdCheckState(uint8_t srd1);

    // Link bring-up, baud-rate switching and recovery.
    // The boot loader's code for a baud rate (0xB0..0xB4), 0x00 for any other.
    static uint8_t BaudRateCode(uint32_t baud);
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
    uint32_t RestoreBaudRate(uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity, int messageId);
    void ResetTo9600();
    uint32_t RecoverLink();

    // kelvlite's sequencer: routine transfer and acknowledgement.
    int LoadRoutine(uint8_t code);
    int WaitAcknowledgement();

    // The program's start-up: runs the whole program; answers the exit code.
    int Run(const std::vector<std::string>& args);

private:
    int SendRoutineSlot(int slot);
    // One byte of the wake-up runs, and `count` fillers each followed by a pause.
    void SendByte(uint8_t b);
    void SendFillers(int count, uint32_t gapMs);
    int ExpectAcknowledgement(const uint8_t* bytes, int count);

    Edition edition_;
    AppServices services_;
    CSerialComm channel_;
    CMotFile image_;
    RoutineTable routines_;
};

}  // namespace kv
