#include "ops/program_pages.h"

#include "link/link.h"
#include "ops/page_loop.h"

namespace kv {

void BuildPageFrame(const CMotFile& image, uint32_t address, PageProgramFrame& frame) {
    SetPageProgramHeader(frame, address);
    uint8_t* data = frame.data() + 3;
    CCheckMemorryCmd::FillPage(data);
    image.GetPage(data, address / kPageSize);
}

PagePick ImagePick(CLink& link) {
    if (!link.imagePagesOnly) return {};
    return {&link.Image().PresentPages(), true};
}

Outcome ProgramPages(CCommand& cmd, Operation op, uint32_t start, uint32_t end, uint32_t intervalMs, PagePick pick) {
    CLink& link = cmd.App();
    CSerialComm& channel = link.Channel();
    CTransport& transport = link.Transport();
    // A routine that is not acknowledged has run the recovery: the chip has
    // been reset, and nothing more is sent.
    if (!transport.ClearStatus()) return Outcome::Lost(op, Phase::Program);
    link.Sleep(kSettleMs);

    CPageLoop loop(link, start, end, pick);
    if (!loop.Open("Program.", "Program")) return Outcome::Of(OutcomeKind::Cancelled, op, Phase::Program);
    channel.SetTimeout(kPageStatusTimeoutMs);
    Outcome failure = Outcome::Lost(op, Phase::Program);
    PageProgramFrame frame;
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        BuildPageFrame(link.Image(), address, frame);
        if (!transport.Prepare(kPageProgram)) return false;
        channel.Write(frame.data(), static_cast<uint32_t>(frame.size()));
        return transport.FrameTaken(0);  // no acknowledgement: the recovery has run
    };
    steps.pauseMs = intervalMs;
    steps.check = [&](uint32_t) {
        StatusReply reply;
        const StatusCheck check = cmd.CheckStatus(channel, "program", &reply);
        if (check == StatusCheck::Ok) return true;
        failure = StatusFailure(op, Phase::Program, check, reply);
        return false;
    };
    const CPageLoop::End how = loop.Run(steps);
    Outcome result = Outcome::Done(op, Phase::Program);
    if (how == CPageLoop::End::Cancelled) result = link.Tell(loop.Interrupted(op, Phase::Program));
    if (how == CPageLoop::End::Stopped) result = failure;
    loop.Close();
    channel.SetTimeout(kRestingTimeoutMs);
    return result;
}

Outcome FinalProgramCheck(CCommand& cmd, Operation op, const Outcome& program) {
    CLink& link = cmd.App();
    link.Channel().SetTimeout(kRestingTimeoutMs);
    StatusReply reply;
    const StatusCheck check = cmd.CheckStatus(link.Channel(), "program", &reply);
    if (check == StatusCheck::Ok && program.Ok()) return link.Tell(Outcome::Done(op, Phase::Final));
    Outcome error = program.kind == OutcomeKind::DeviceError ? program : StatusFailure(op, Phase::Final, check, reply);
    // After a lost reply the recovery has spoken; the program error stands all the same.
    error.kind = OutcomeKind::DeviceError;
    error.phase = Phase::Final;
    return link.Tell(error);
}

}  // namespace kv
