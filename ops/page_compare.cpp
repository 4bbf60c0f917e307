#include "ops/page_compare.h"

#include "link/link.h"
#include "ops/page_loop.h"

namespace kv {

void BlankPage(uint32_t, uint8_t* buffer) { CCheckMemorryCmd::FillPage(buffer); }

void ImagePage(const CMotFile& image, uint32_t address, uint8_t* buffer) {
    CCheckMemorryCmd::FillPage(buffer);
    image.GetPage(buffer, address / kPageSize);
}

Outcome ComparePages(CCheckMemorryCmd& cmd, uint32_t start, uint32_t end, const PageCompare& check) {
    CLink& link = cmd.App();
    CPageLoop loop(link, start, end, check.pick);
    if (!loop.Open(check.message, check.title)) return Outcome::Of(OutcomeKind::Cancelled, check.op, check.phase);
    CSerialComm& channel = link.Channel();
    uint8_t readBack[kPageSize];
    uint8_t expected[kPageSize];
    Outcome failure = Outcome::Lost(check.op, check.phase);
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        if (check.purge) channel.Purge();
        if (!cmd.ReadPage(channel, readBack, address)) return false;
        check.expected(address, expected);
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (expected[i] != readBack[i]) {
                failure = link.Tell(
                    Outcome::ByteAt(check.failure, check.op, check.phase, address + i, expected[i], readBack[i]));
                return false;
            }
        }
        return true;
    };
    // kelvane paces its page requests; kelvlite's sequencer needs no pause.
    steps.pauseMs = link.IsLite() ? 0 : kBetweenCheckPagesMs;
    const CPageLoop::End how = loop.Run(steps);
    loop.Close();
    switch (how) {
        case CPageLoop::End::Completed: return Outcome::Done(check.op, check.phase);
        case CPageLoop::End::Cancelled: return link.Tell(loop.Interrupted(check.op, check.phase));
        case CPageLoop::End::Stopped: break;
    }
    return failure;
}

}  // namespace kv
