// The address range of a memory operation: asked in the "Input Address"
// dialog, offered from the pages of the memory image that hold data.
#include "app/kelvix_app.h"
#include "image/page_scan.h"
#include "image/set_address_dlg.h"
#include "link/check_memory_cmd.h"

namespace kv {

namespace {

constexpr uint32_t kWholeSpace = 0x1000000;
constexpr uint32_t kDownloadLimit = 0x2C00;  // the download counts only pages below this
constexpr uint32_t kDefaultStart = 0x0C0000;
constexpr uint32_t kDefaultEnd = 0x0FFFFF;

// The lowest and highest page with data below `limit`; both 0 when there is
// none. Page 0 counts: an image with data only there gives 0x000000..0x0000FF,
// whose non-zero end still tells the dialog that a range was found.
bool ScanImage(const CMotFile& image, uint32_t limit, uint32_t& start, uint32_t& end) {
    start = 0;
    end = 0;
    return FindDataPages(image, limit, start, end);
}

}  // namespace

int CCheckMemorryCmd::AskAddressRange(uint32_t& start, uint32_t& end) {
    CSetAddressDlg dlg(app_);
    if (start != 0 || end != 0) dlg.SetTexts(ToHex6(start), ToHex6(end));
    if (dlg.DoModal() != tk::IDOK) return 0;

    std::string startText;
    std::string endText;
    const bool haveStart = dlg.GetText("start", startText);
    const bool haveEnd = dlg.GetText("end", endText);
    if (!haveStart || !haveEnd) return 0;

    start = HexToInt(startText) & ~uint32_t{0xFF};
    end = HexToInt(endText) | 0xFF;
    return 1;
}

int CCheckMemorryCmd::FindImageRange(uint32_t& start, uint32_t& end) {
    ScanImage(app_.Image(), kWholeSpace, start, end);
    return AskAddressRange(start, end);
}

int CCheckMemorryCmd::DefaultImageRange(uint32_t& start, uint32_t& end) {
    if (!ScanImage(app_.Image(), kWholeSpace, start, end)) {
        start = kDefaultStart;
        end = kDefaultEnd;
    }
    start &= ~uint32_t{0xFF};
    end |= 0xFF;
    return 1;
}

int CCheckMemorryCmd::FindDownloadRange(uint32_t& start, uint32_t& end) {
    ScanImage(app_.Image(), kDownloadLimit, start, end);
    return AskAddressRange(start, end);
}

}  // namespace kv
