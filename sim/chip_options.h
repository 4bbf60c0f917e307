#pragma once
// How a simulated chip is built: what it is, how it times its bytes, and the
// faults it is told to show.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/routine_table.h"

namespace sim {

// bootloader: the Vireo/H boot loader (no ID gate); flash: the internal-flash
// boot loader (erase and program refused until the ID is verified); lite: the
// Vireo/L sequencer, driven by routine blocks of firm.mot (ID gate as flash).
enum class Mode { Bootloader, Flash, Lite };
enum class McuType { VireoM, VireoH, Wren };

using IdCode = std::array<uint8_t, 7>;

inline constexpr IdCode kDefaultId = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
inline constexpr const char* kDefaultVersion = "VER.2.05";

// A reply fault: applies to the replies of one command code (0x06 is the
// sequencer's handshake), every time (nth 0) or only on its nth use.
struct ReplyFault {
    enum class Kind {
        Silent,     // no reply at all
        Cut,        // only the first `keep` bytes of the reply
        WrongEcho,  // the reply's first byte altered (an echo that does not match)
        Stray,      // `stray` bytes go out just before the reply
    };
    Kind kind = Kind::Silent;
    uint8_t code = 0;
    uint32_t nth = 0;
    size_t keep = 0;
    std::vector<uint8_t> stray;
};

struct Faults {
    std::vector<ReplyFault> replies;
    // Status bits forced on and off in every status reply.
    uint8_t srdSet = 0, srdClear = 0, srd1Set = 0, srd1Clear = 0;
    // The chip resets (9600 bps, not synchronised) after this many received
    // bytes, once; 0 = never.
    uint64_t resetAfterBytes = 0;
    bool eraseError = false;                    // every erase reports the erase error
    std::optional<uint32_t> programErrorPage;   // this page reports a program error
    std::optional<uint32_t> flipOnReadAddress;  // this byte reads back with its bits inverted
};

struct Options {
    Mode mode = Mode::Flash;
    McuType mcu = McuType::VireoM;
    IdCode id = kDefaultId;
    std::string version = kDefaultVersion;  // sent as exactly 8 bytes (padded with blanks)
    kv::RoutineTable firmware;              // lite mode: the routines it knows

    bool wireTiming = true;  // false: every byte takes no time
    // A host byte counts as arrived when the chip is handed it. A pseudo-
    // terminal gives the host no back-pressure: its write returns at once,
    // where a UART's write lasts until the bytes are out, so timing the
    // bytes again on the chip's side would make every reply late by a frame.
    bool inputArrivesWhenHanded = false;
    uint64_t eraseBusyUs = 100000;
    uint64_t programBusyUs = 2000;
    // How a status read during the busy time is answered: held back until the
    // chip is ready (the host's long read time-out waits it out), or at once
    // with SRD bit 7 clear ("Busy").
    bool busyStatusAnswers = false;
    uint64_t frameGapUs = 30000;       // a command frame that stalls this long is dropped
    uint64_t downloadGapUs = 2000000;  // a download that stalls this long ends with an error

    // The board's reset and boot-mode inputs hang on the adapter's modem
    // lines: DTR cleared holds the chip in reset; when DTR is asserted again
    // the chip starts, in its boot loader when RTS is asserted then, else in
    // the program, and the boot loader answers nothing. It starts in the
    // program. False: the lines are not wired, and the boot loader runs.
    bool bootLines = false;

    Faults faults;
};

}  // namespace sim
