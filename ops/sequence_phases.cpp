#include "ops/sequence_phases.h"

#include "link/link.h"
#include "ops/page_compare.h"
#include "ops/program_pages.h"

namespace kv {

CSequencePhases::CSequencePhases(CCheckMemorryCmd& cmd, Operation op, uint32_t start, uint32_t end)
    : cmd_(cmd), op_(op), start_(start), end_(end) {}

bool CSequencePhases::ProgramInterval(CLink& link, uint32_t& ms) {
    int interval = 0;
    if (!link.User().ProgramInterval(interval)) return false;
    ms = interval > 0 ? static_cast<uint32_t>(interval) : 0;
    return true;
}

Outcome CSequencePhases::Blank(bool purge) {
    return ComparePages(cmd_, start_, end_,
                        {"Blank check.", "Blank Check", op_, Phase::Blank, OutcomeKind::NotBlank, purge, BlankPage});
}

Outcome CSequencePhases::Program(uint32_t intervalMs, bool tellError) {
    const Outcome program = ProgramPages(cmd_, op_, start_, end_, intervalMs, ImagePick(cmd_.App()));
    if (program.kind == OutcomeKind::DeviceError && tellError) cmd_.App().Tell(program);
    return program;
}

Outcome CSequencePhases::ReadBack(bool purge) {
    // Every byte is compared, 0xFF included: a byte that should have stayed
    // erased and did not is as wrong as one that was programmed wrong.
    const CMotFile& image = cmd_.App().Image();
    return ComparePages(
        cmd_, start_, end_,
        {"Read check.", "Read check.", op_, Phase::ReadBack, OutcomeKind::Difference, purge,
         [&image](uint32_t address, uint8_t* buffer) { ImagePage(image, address, buffer); }, ImagePick(cmd_.App())});
}

Outcome CSequencePhases::FinalCheck(const Outcome& program) { return FinalProgramCheck(cmd_, op_, program); }

Outcome CSequencePhases::ConfirmRange() {
    if (cmd_.App().User().ConfirmProgram(start_, end_)) return Outcome::Done(op_, Phase::Confirm);
    return cmd_.App().Tell(Outcome::Of(OutcomeKind::Cancelled, op_, Phase::Confirm));
}

Outcome CSequencePhases::ProgramReadBackCheck(uint32_t intervalMs) {
    const Outcome program = Program(intervalMs, true);
    // After a lost reply the recovery has reset the chip: nothing that
    // follows could vouch for the pages that were not sent.
    const bool cancelled = program.kind == OutcomeKind::Cancelled || program.kind == OutcomeKind::Stopped;
    if (!program.Ok() && !cancelled && program.kind != OutcomeKind::DeviceError) return program;
    const Outcome read = ReadBack(true);
    if (!CompletedOrCancelled(read)) return FirstFailure(program, read);
    if (cancelled) return program;
    return FirstFailure(program, FirstFailure(read, FinalCheck(program)));
}

}  // namespace kv
