#include "ops/program_cmd.h"

#include <algorithm>

#include "link/link.h"
#include "ops/page_loop.h"
#include "ops/range_check.h"
#include "res/strings.h"

namespace kv {

namespace {
constexpr uint32_t kAfterCommandMs = 50;
constexpr uint32_t kPageStatusTimeoutMs = 150;  // bounds each status wait between pages
constexpr uint32_t kRestingTimeoutMs = 5000;
}  // namespace

void CProgramCmd::BuildPageFrame(uint32_t address, PageFrame& frame) {
    frame[0] = kPageProgram;
    SplitAddress(address, frame[2], frame[1]);
    uint8_t* data = frame.data() + 3;
    FillPage(data);
    app_.Image().GetPage(data, address / kPageSize);
}

int CProgramCmd::SendPage(uint32_t address) {
    PageFrame frame;
    BuildPageFrame(address, frame);
    if (app_.IsLite() && !app_.LoadRoutine(kPageProgram)) return 0;
    app_.Channel().Write(frame.data(), static_cast<uint32_t>(frame.size()));
    if (app_.IsLite() && !app_.WaitAcknowledgement()) return 0;
    return 1;
}

int CProgramCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return 0;
    int interval = 0;
    if (!app_.User().ProgramInterval(interval)) return 0;
    if (!AcceptRange(app_, start, end)) return 0;

    if (!app_.User().ConfirmProgram(start, end)) {
        app_.Report(IDS_STOP_PROGRAMMING, Tone::Plain);
        return 0;
    }

    CSerialComm& channel = app_.Channel();
    if (app_.IsLite()) {
        app_.LoadRoutine(kClearStatus);
    } else {
        const uint8_t clear = kClearStatus;
        channel.Write(&clear, 1);
    }
    app_.Sleep(kAfterCommandMs);

    CPageLoop loop(app_, start, end);
    if (!loop.Open("Program.", "Program")) return 0;
    channel.SetTimeout(kPageStatusTimeoutMs);
    CPageLoop::Steps steps;
    steps.work = [this](uint32_t address) { return SendPage(address) != 0; };
    steps.pauseMs = static_cast<uint32_t>(std::max(interval, 0));
    steps.check = [&](uint32_t) { return CheckStatusError(channel, "program") == 0; };
    if (loop.Run(steps) == CPageLoop::End::Cancelled)
        app_.Report(IDS_STOP_PROGRAMMING, Tone::Information);

    channel.SetTimeout(kRestingTimeoutMs);
    const bool cancelled = loop.Cancelled();
    loop.Close();
    if (cancelled) return 0;
    if (CheckStatusError(channel, "program")) {
        app_.Report(IDS_PROGRAM_ERROR, Tone::Fault);
        return 0;
    }
    app_.Report(IDS_PROGRAM_OK, Tone::Information);
    return 1;
}

}  // namespace kv
