#include "ops/blank_cmd.h"

#include <cstdio>

#include "app/kelvix_app.h"
#include "ops/page_check.h"
#include "res/strings.h"

namespace kv {

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
    PageCheck check{"Blank check.", "Blank Check",
                    [](uint32_t, uint8_t* buffer) { FillPage(buffer); },
                    [this](uint32_t address, uint8_t, uint8_t read) { ReportNotBlank(address, read); },
                    IDS_BLANK_CHECK_OK};
    return RunPageCheck(*this, check);
}

}  // namespace kv
