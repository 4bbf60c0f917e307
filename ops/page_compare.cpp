#include "ops/page_compare.h"

#include "link/link.h"
#include "ops/page_loop.h"

namespace kv {

void BlankPage(uint32_t, uint8_t* buffer) { CCheckMemorryCmd::FillPage(buffer); }

void ImagePage(const CMotFile& image, uint32_t address, uint8_t* buffer) {
    CCheckMemorryCmd::FillPage(buffer);
    image.GetPage(buffer, address / kPageSize);
}

Outcome ComparePages(CCheckMemorryCmd& cmd, uint32_t start, uint32_t end, const PageCompare& spec) {
    CLink& link = cmd.App();
    CPageLoop loop(link, start, end);
    if (!loop.Open(spec.message, spec.title)) return Outcome::Of(OutcomeKind::Cancelled, spec.op, spec.phase);
    CSerialComm& channel = link.Channel();
    uint8_t readBack[kPageSize];
    uint8_t expected[kPageSize];
    Outcome failure = Outcome::Lost(spec.op, spec.phase);
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        if (spec.purge) channel.Purge();
        if (!cmd.ReadPage(channel, readBack, address)) return false;
        spec.expected(address, expected);
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (expected[i] != readBack[i]) {
                failure = link.Tell(
                    Outcome::ByteAt(spec.failure, spec.op, spec.phase, address + i, expected[i], readBack[i]));
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
        case CPageLoop::End::Completed: return Outcome::Done(spec.op, spec.phase);
        case CPageLoop::End::Cancelled: return link.Tell(loop.Interrupted(spec.op, spec.phase));
        case CPageLoop::End::Stopped: break;
    }
    return failure;
}

}  // namespace kv
