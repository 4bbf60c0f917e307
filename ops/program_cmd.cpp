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
    // A routine that is not acknowledged has run the recovery: the chip has
    // been reset, and nothing more is sent.
    if (!ClearStatus()) return 0;
    app_.Sleep(kAfterCommandMs);

    CPageLoop loop(app_, start, end);
    if (!loop.Open("Program.", "Program")) return 0;
    channel.SetTimeout(kPageStatusTimeoutMs);
    StatusCheck pageStatus = StatusCheck::Ok;
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        if (SendPage(address)) return true;
        pageStatus = StatusCheck::LinkLost;
        return false;
    };
    steps.pauseMs = static_cast<uint32_t>(std::max(interval, 0));
    steps.check = [&](uint32_t) {
        pageStatus = CheckStatus(channel, "program");
        return pageStatus == StatusCheck::Ok;
    };
    if (loop.Run(steps) == CPageLoop::End::Cancelled)
        app_.Report(IDS_STOP_PROGRAMMING, Tone::Information);

    channel.SetTimeout(kRestingTimeoutMs);
    const bool cancelled = loop.Cancelled();
    loop.Close();
    // After a lost reply the recovery has spoken and reset the chip: the
    // status register says nothing about the pages that were not sent.
    if (cancelled || pageStatus == StatusCheck::LinkLost) return 0;
    // A loop that stopped at a page is an error, even when the closing read
    // finds the register clean (a status that was not ready stops it too).
    if (CheckStatusError(channel, "program") || pageStatus != StatusCheck::Ok) {
        app_.Report(IDS_PROGRAM_ERROR, Tone::Fault);
        return 0;
    }
    app_.Report(IDS_PROGRAM_OK, Tone::Information);
    return 1;
}

int CProgramCmd::ClearStatus() {
    if (app_.IsLite()) return app_.LoadRoutine(kClearStatus);  // the routine is the whole command
    const uint8_t clear = kClearStatus;
    app_.Channel().Write(&clear, 1);
    return 1;
}

}  // namespace kv
