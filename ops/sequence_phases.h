#pragma once
// The phases of the combined sequences (erase-program-read and
// blank-program-read) over one range: blank check, programming, read-back
// and the closing status check, each with the loops of the single
// operations. The sequence decides what follows each phase.
#include <cstdint>

#include "link/check_memory_cmd.h"

namespace kv {

class CSequencePhases {
public:
    // `cmd` is the running operation (`op`); start..end are whole pages.
    CSequencePhases(CCheckMemorryCmd& cmd, Operation op, uint32_t start, uint32_t end);

    // Every page read and compared with 0xFF; `purge` empties the input
    // before each page read. The first byte that is not blank is told.
    Outcome Blank(bool purge);
    // The program page loop; a program error is told when `tellError`.
    Outcome Program(uint32_t intervalMs, bool tellError);
    // Every page read back and compared with the image, every byte of it.
    Outcome ReadBack(bool purge);
    // The closing status check after the programming phase `program`.
    Outcome FinalCheck(const Outcome& program);
    // "Program next area." over the range; a Cancel is told.
    Outcome ConfirmRange();
    // kelvlite's closing phases: programming with its error told, the
    // read-back (a Cancel there goes on) and the status check, which a
    // Cancel while programming leaves out. A lost reply while programming
    // ends the run after the recovery.
    Outcome ProgramReadBackCheck(uint32_t intervalMs);

    // The program interval the user has chosen; false when there is none.
    static bool ProgramInterval(CLink& link, uint32_t& ms);

private:
    CCheckMemorryCmd& cmd_;
    Operation op_;
    uint32_t start_;
    uint32_t end_;
};

// Whether a phase's outcome lets the sequence go on: done, or (where the
// sequence allows it) cancelled.
inline bool Completed(const Outcome& o) { return o.Ok(); }
inline bool CompletedOrCancelled(const Outcome& o) {
    return o.Ok() || o.kind == OutcomeKind::Cancelled || o.kind == OutcomeKind::Stopped;
}

}  // namespace kv
