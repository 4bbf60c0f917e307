#include "ops/read_cmd.h"

#include <cstdio>

#include "link/link.h"
#include "ops/check_report.h"
#include "ops/page_check.h"
#include "res/strings.h"

namespace kv {

void CReadCmd::ExpectedPage(uint32_t address, uint8_t* buffer) {
    FillPage(buffer);
    app_.Image().GetPage(buffer, address / kPageSize);
}

void CReadCmd::ReportMismatch(uint32_t address, uint8_t expected, uint8_t read) {
    if (!app_.IsLite()) {
        app_.User().Report(NotMatchAt(app_.String(IDS_NOT_MATCH) + ToHex6(address), address, expected, read));
        return;
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "Find Not Match Data at Address : %06xh \n\n MotData\t: %03xh \n RomData\t: %03xh",
                  static_cast<unsigned>(address), static_cast<unsigned>(expected), static_cast<unsigned>(read));
    app_.User().Report(NotMatchAt(text, address, expected, read, Tone::Warning));
}

int CReadCmd::Run() {
    PageCheck check{"Read check.", "Read check.",
                    [this](uint32_t address, uint8_t* buffer) { ExpectedPage(address, buffer); },
                    [this](uint32_t address, uint8_t expected, uint8_t read) {
                        ReportMismatch(address, expected, read);
                    },
                    IDS_READ_CHECK_OK};
    return RunPageCheck(*this, check);
}

}  // namespace kv
