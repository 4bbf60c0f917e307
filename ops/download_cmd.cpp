#include "ops/download_cmd.h"

#include <vector>

#include "link/link.h"
#include "ops/page_loop.h"
#include "ops/range_check.h"

namespace kv {

namespace {
constexpr Operation kOp = Operation::Download;
constexpr int kBootLoaderMode = 1;
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

int CDownloadCmd::FindRange(uint32_t& start, uint32_t& end) {
    return app_.programMode == kBootLoaderMode ? FindDownloadRange(start, end) : FindImageRange(start, end);
}

Outcome CDownloadCmd::CheckRange(uint32_t start, uint32_t end) {
    if (Outcome range = AcceptRange(app_, kOp, start, end); !range.Ok()) return range;
    if (app_.programMode == kBootLoaderMode) {
        if (end >= kBootLoaderLimit) return app_.Tell(Outcome::Refused(kOp, Cause::DownloadEndTooHigh));
    } else if (end - start + 1 > kMaxLength) {
        // A longer transfer could not be announced truthfully in the length field.
        return app_.Tell(Outcome::Refused(kOp, Cause::DownloadTooLong));
    }
    return Outcome::Done(kOp);
}

// The boot loader's two-byte answer; the second byte is the result, and only
// "completed" is success.
Outcome CDownloadCmd::ReadResult() {
    uint8_t reply[2];
    Outcome failure = Outcome::Of(OutcomeKind::DeviceError, kOp, Phase::Final);
    if (app_.Channel().Read(reply, 2) != 2) {
        // No recovery: the loader took no more than the data it was sent.
        return app_.Tell(Outcome::Lost(kOp, Phase::Final, Cause::ReplyLength));
    }
    if (reply[1] == kDownloadCompleted) return app_.Tell(Outcome::Done(kOp, Phase::Final));
    if (reply[1] != kDownloadNotCompleted) failure.cause = Cause::NotAnswered;
    return app_.Tell(failure);
}

// In the internal-flash mode the loader sends no answer of its own: its
// status tells whether the data and their checksum arrived whole.
Outcome CDownloadCmd::ReadStatusAfterTransfer() {
    const StatusReply status = SendStatusRead(app_, app_.Channel(), {.purge = true});
    if (!status.answered || !status.handshook) return Outcome::Lost(kOp, Phase::Final);
    const bool taken = (status.srd & kSrdReady) && ((status.srd1 >> kSrd1ChecksumBit) & 1);
    if (taken) return app_.Tell(Outcome::Done(kOp, Phase::Final));
    Outcome failure = StatusFailure(kOp, Phase::Final, StatusCheck::Error, status);
    return app_.Tell(failure);
}

Outcome CDownloadCmd::Run() {
    const Outcome declined = Outcome::Of(OutcomeKind::Cancelled, kOp, Phase::Confirm);
    int interval = 0;
    if (!app_.User().ProgramInterval(interval)) return declined;

    uint32_t start = 0;
    uint32_t end = 0;
    if (!FindRange(start, end)) return declined;
    if (Outcome range = CheckRange(start, end); !range.Ok()) return range;
    if (!app_.User().ConfirmDownload()) return app_.Tell(declined);

    CPageLoop loop(app_, start, end);
    if (!loop.Open("Downloading.", "Download")) return declined;

    const uint32_t length = end - start + 1;
    const DownloadHeader header = BuildDownloadHeader(length, Checksum(start, end));
    CSerialComm& channel = app_.Channel();
    std::vector<uint8_t> block(header.size() + kPageSize);
    const auto sendPage = [&](uint32_t address) {
        // The first page travels with the header, the others alone.
        const bool first = address == start;
        uint8_t* data = block.data() + (first ? header.size() : 0);
        DownloadPage(data, address);
        if (first) {
            std::copy(header.begin(), header.end(), block.begin());
            channel.Write(block.data(), static_cast<uint32_t>(block.size()));
        } else {
            channel.Write(data, kPageSize);
        }
        return true;
    };
    const CPageLoop::End how =
        loop.Run({.work = sendPage, .pauseMs = static_cast<uint32_t>(interval), .check = nullptr});
    // A Cancel after the last page has gone out stops nothing: the transfer
    // is whole, and the boot loader's answer is on its way.
    const bool whole = uint64_t{loop.LastAddress()} + kPageSize >= end;
    if (how == CPageLoop::End::Cancelled && !whole) {
        const Outcome stopped = app_.Tell(loop.Interrupted(kOp, Phase::Transfer));
        loop.Close();
        // The loader still waits for the rest of the announced data and would
        // take the next exchanges for it: the link is lost until the board
        // is reset, and the recovery says so and rebuilds it.
        app_.RecoverLink();
        return stopped;
    }
    loop.Close();
    return app_.programMode == kBootLoaderMode ? ReadResult() : ReadStatusAfterTransfer();
}

}  // namespace kv
