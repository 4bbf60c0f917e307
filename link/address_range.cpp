// The address range of a memory operation: offered from the pages of the
// memory image that hold data, chosen by the user.
#include "image/page_scan.h"
#include "link/check_memory_cmd.h"
#include "link/link.h"

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
    return app_.User().ChooseRange(start, end) ? 1 : 0;
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
