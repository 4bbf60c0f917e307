#include "link/check_memory_cmd.h"

#include <cstring>

#include "image/hex_text.h"
#include "link/link.h"

namespace kv {

int CCheckMemorryCmd::ReadPage(CSerialComm& channel, uint8_t* buffer, uint32_t address) {
    const uint32_t resting = channel.Timeout();
    channel.SetTimeout(app_.Settings().PageReadTimeout(resting));
    const PageReadFrame frame = BuildPageReadFrame(address);

    int result = 0;
    channel.Purge();
    // A routine that did not load has already run the recovery.
    CTransport& transport = app_.Transport();
    if (transport.Prepare(kPageRead)) {
        channel.Purge();
        channel.Write(frame.data(), static_cast<uint32_t>(frame.size()));
        // A reply with a byte too many is as wrong as one cut short: its
        // bytes cannot be told apart from the page's.
        if (channel.Read(buffer, kPageSize) == static_cast<int>(kPageSize) && channel.QuietAfterReply())
            result = 1;
        else
            app_.RecoverLink();
        // The handshake ends a page that came; after a lost one the recovery
        // has rebuilt the link already (a second recovery would ask for a
        // second reset). A handshake that fails has run the recovery: the
        // page does not count.
        if (result && !transport.Conclude()) result = 0;
    }
    channel.SetTimeout(resting);
    return result;
}

void CCheckMemorryCmd::SplitAddress(uint32_t address, uint8_t& high, uint8_t& middle) {
    high = static_cast<uint8_t>(address >> 16);
    middle = static_cast<uint8_t>(address >> 8);
}

void CCheckMemorryCmd::FillPage(uint8_t* buffer) { std::memset(buffer, 0xFF, kPageSize); }

void CCheckMemorryCmd::ClearPage(uint8_t* buffer) { std::memset(buffer, 0x00, kPageSize); }

std::string CCheckMemorryCmd::ToHex6(uint32_t value) { return kv::ToHex6(value); }

uint32_t CCheckMemorryCmd::HexToInt(const std::string& text) { return kv::HexToInt(text); }

}  // namespace kv
