#include "ops/page_check.h"

#include "link/link.h"
#include "ops/page_loop.h"
#include "ops/range_check.h"

namespace kv {

namespace {
constexpr uint32_t kBetweenPagesMs = 10;  // kelvane paces its page requests
}  // namespace

int RunPageCheck(CCheckMemorryCmd& cmd, const PageCheck& check) {
    CLink& app = cmd.App();
    uint32_t start = 0;
    uint32_t end = 0;
    if (!cmd.FindImageRange(start, end)) return 0;
    if (!AcceptRange(app, start, end)) return 0;

    CPageLoop loop(app, start, end);
    if (!loop.Open(check.message, check.title)) return 0;
    CSerialComm& channel = app.Channel();
    uint8_t deviceBuffer[kPageSize];
    uint8_t expectedBuffer[kPageSize];
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        channel.Purge();
        if (!cmd.ReadPage(channel, deviceBuffer, address)) return false;
        check.expected(address, expectedBuffer);
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (expectedBuffer[i] != deviceBuffer[i]) {
                check.report(address + i, expectedBuffer[i], deviceBuffer[i]);
                return false;
            }
        }
        return true;
    };
    steps.pauseMs = app.IsLite() ? 0 : kBetweenPagesMs;
    const CPageLoop::End how = loop.Run(steps);
    loop.Close();
    // kelvlite confirms a range that held no difference; a cancelled check
    // has not looked at the rest of the range and says nothing.
    if (app.IsLite() && how == CPageLoop::End::Completed) app.Report(check.okMessageId, Tone::Information);
    return 0;
}

}  // namespace kv
