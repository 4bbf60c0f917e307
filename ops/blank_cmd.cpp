#include "ops/blank_cmd.h"

#include <cstdio>

#include "link/link.h"
#include "ops/check_report.h"
#include "ops/page_check.h"
#include "res/strings.h"

namespace kv {

void CBlankCmd::ReportNotBlank(uint32_t address, uint8_t value) {
    if (!app_.IsLite()) {
        app_.User().Report(NotBlankAt(app_.String(IDS_NOT_BLANK) + ToHex6(address), address, value));
        return;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Find Not Blank Data at Address : %06xh \n\n RomData : %03xh",
                  static_cast<unsigned>(address), static_cast<unsigned>(value));
    app_.User().Report(NotBlankAt(text, address, value, Tone::Warning));
}

int CBlankCmd::Run() {
    PageCheck check{"Blank check.", "Blank Check",
                    [](uint32_t, uint8_t* buffer) { FillPage(buffer); },
                    [this](uint32_t address, uint8_t, uint8_t read) { ReportNotBlank(address, read); },
                    IDS_BLANK_CHECK_OK};
    return RunPageCheck(*this, check);
}

}  // namespace kv
