#include "ops/download_cmd.h"

#include <vector>

#include "link/link.h"
#include "ops/page_loop.h"
#include "ops/range_check.h"
#include "res/strings.h"

namespace kv {

namespace {
constexpr size_t kHeaderSize = 4;  // command, length low, length high, checksum
constexpr uint8_t kResultCompleted = 0x00;
constexpr uint8_t kResultNotCompleted = 0x01;
}  // namespace

void CDownloadCmd::DownloadPage(uint8_t* buffer, uint32_t address) {
    ClearPage(buffer);
    app_.Image().GetPage(buffer, address / kPageSize);
}

uint8_t CDownloadCmd::Checksum(uint32_t start, uint32_t end) {
    uint8_t sum = 0;
    uint8_t page[kPageSize];
    for (uint64_t address = start; address < end; address += kPageSize) {
        DownloadPage(page, static_cast<uint32_t>(address));
        for (uint8_t b : page) sum = static_cast<uint8_t>(sum + b);
    }
    return sum;
}

int CDownloadCmd::CheckRange(uint32_t start, uint32_t end) {
    if (!AcceptRange(app_, start, end)) return 0;
    if (app_.programMode == 1) {
        if (end >= kBootLoaderLimit) {
            app_.Report(IDS_TOO_HIGH_END, Tone::Warning);
            return 0;
        }
    } else if (end - start + 1 > kMaxLength) {
        // A longer transfer could not be announced truthfully in the length field.
        app_.Report(IDS_TOO_LARGE_DOWNLOAD, Tone::Warning);
        return 0;
    }
    return 1;
}

// The boot loader's two-byte answer; the second byte is the result.
int CDownloadCmd::ReadResult() {
    uint8_t reply[2];
    if (app_.Channel().Read(reply, 2) != 2 || reply[1] == kResultNotCompleted) {
        app_.Report(IDS_DOWNLOAD_NOT_COMPLETED, Tone::Warning);
        return 0;
    }
    if (reply[1] == kResultCompleted) app_.Report(IDS_DOWNLOAD_COMPLETED, Tone::Plain);
    return 1;
}

int CDownloadCmd::Run() {
    int interval = 0;
    if (!app_.User().ProgramInterval(interval)) return 0;

    const bool bootLoader = app_.programMode == 1;
    uint32_t start = 0;
    uint32_t end = 0;
    if (!(bootLoader ? FindDownloadRange(start, end) : FindImageRange(start, end))) return 0;
    if (!CheckRange(start, end)) return 0;

    if (!app_.User().ConfirmDownload()) {
        app_.Report(IDS_STOP_DOWNLOADING, Tone::Plain);
        return 0;
    }

    CPageLoop loop(app_, start, end);
    if (!loop.Open("Downloading.", "Download")) return 0;

    const uint32_t length = end - start + 1;
    const uint8_t checksum = Checksum(start, end);
    CSerialComm& channel = app_.Channel();
    std::vector<uint8_t> block(kHeaderSize + kPageSize);
    const auto sendPage = [&](uint32_t address) {
        // The first page travels with the header, the others alone.
        const bool first = address == start;
        uint8_t* data = block.data() + (first ? kHeaderSize : 0);
        DownloadPage(data, address);
        if (first) {
            block[0] = kDownload;
            block[1] = static_cast<uint8_t>(length & 0xFF);
            block[2] = static_cast<uint8_t>((length >> 8) & 0xFF);
            block[3] = checksum;
            channel.Write(block.data(), static_cast<uint32_t>(block.size()));
        } else {
            channel.Write(data, kPageSize);
        }
        return true;
    };
    const CPageLoop::End how = loop.Run({.work = sendPage, .pauseMs = static_cast<uint32_t>(interval), .check = nullptr});
    // A Cancel after the last page has gone out stops nothing: the transfer
    // is whole, and the boot loader's answer is on its way.
    const bool whole = uint64_t{loop.LastAddress()} + kPageSize >= end;
    if (how == CPageLoop::End::Cancelled && !whole) {
        app_.Report(IDS_STOP_DOWNLOADING, Tone::Information);
        loop.Close();
        // The loader still waits for the rest of the announced data and would
        // take the next exchanges for it: the link is lost until the board
        // is reset, and the recovery says so and rebuilds it.
        app_.RecoverLink();
        return 0;
    }
    loop.Close();

    if (!bootLoader) {
        app_.Report(IDS_DOWNLOAD_COMPLETED, Tone::Plain);
        return 1;
    }
    return ReadResult();
}

}  // namespace kv
