#include "ops/blank_cmd.h"

#include <cstdio>

#include "app/kelvix_app.h"
#include "ops/page_loop.h"
#include "ops/range_check.h"
#include "res/strings.h"

namespace kv {

namespace {
constexpr uint32_t kBetweenPagesMs = 10;  // kelvane paces its page requests
constexpr uint8_t kBlank = 0xFF;
}  // namespace

void CBlankCmd::ReportNotBlank(uint32_t address, uint8_t value) {
    if (!app_.IsLite()) {
        app_.MessageText(app_.String(IDS_NOT_BLANK) + ToHex6(address), tk::Icon::None);
        return;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Find Not Blank Data at Address : %06xh \n\n RomData : %03xh",
                  static_cast<unsigned>(address), static_cast<unsigned>(value));
    app_.MessageText(text, tk::Icon::Exclamation);
}

int CBlankCmd::Run() {
    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindImageRange(start, end)) return 0;
    if (!AcceptRange(app_, start, end)) return 0;

    CPageLoop loop(app_, start, end);
    if (!loop.Open("Blank check.", "Blank Check")) return 0;
    CSerialComm& channel = app_.Channel();
    uint8_t deviceBuffer[kPageSize];
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        channel.Purge();
        if (!ReadPage(channel, deviceBuffer, address)) return false;
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (deviceBuffer[i] != kBlank) {
                ReportNotBlank(address + i, deviceBuffer[i]);
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
        app_.Message(IDS_BLANK_CHECK_OK, tk::Icon::Information);
    return 0;
}

}  // namespace kv
