#include "ops/read_cmd.h"

#include <cstdio>

#include "app/kelvix_app.h"
#include "ops/page_loop.h"
#include "ops/range_check.h"
#include "res/strings.h"

namespace kv {

namespace {
constexpr uint32_t kBetweenPagesMs = 10;  // kelvane paces its page requests
}  // namespace

void CReadCmd::ExpectedPage(uint32_t address, uint8_t* buffer) {
    FillPage(buffer);
    app_.Image().GetPage(buffer, address / kPageSize);
}

void CReadCmd::ReportMismatch(uint32_t address, uint8_t expected, uint8_t read) {
    if (!app_.IsLite()) {
        app_.MessageText(app_.String(IDS_NOT_MATCH) + ToHex6(address), tk::Icon::None);
        return;
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "Find Not Match Data at Address : %06xh \n\n MotData\t: %03xh \n RomData\t: %03xh",
                  static_cast<unsigned>(address), static_cast<unsigned>(expected), static_cast<unsigned>(read));
    app_.MessageText(text, tk::Icon::Exclamation);
}

int CReadCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return 0;
    if (!AcceptRange(app_, start, end)) return 0;

    CPageLoop loop(app_, start, end);
    if (!loop.Open("Read check.", "Read check.")) return 0;
    CSerialComm& channel = app_.Channel();
    uint8_t deviceBuffer[kPageSize];
    uint8_t expectedBuffer[kPageSize];
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        channel.Purge();
        if (!ReadPage(channel, deviceBuffer, address)) return false;
        ExpectedPage(address, expectedBuffer);
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (expectedBuffer[i] != deviceBuffer[i]) {
                ReportMismatch(address + i, expectedBuffer[i], deviceBuffer[i]);
                return false;
            }
        }
        return true;
    };
    steps.pauseMs = app_.IsLite() ? 0 : kBetweenPagesMs;
    const CPageLoop::End how = loop.Run(steps);
    loop.Close();
    // kelvlite confirms a range that held no difference, also after Cancel.
    if (app_.IsLite() && how != CPageLoop::End::Stopped)
        app_.Message(IDS_READ_CHECK_OK, tk::Icon::Information);
    return 0;
}

}  // namespace kv
