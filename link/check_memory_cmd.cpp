#include "link/check_memory_cmd.h"

#include <cstdio>
#include <cstring>

#include "link/link.h"
#include "image/save_ini.h"

namespace kv {

int CCheckMemorryCmd::ReadPage(CSerialComm& channel, uint8_t* buffer, uint32_t address) {
    const uint32_t resting = channel.Timeout();
    channel.SetTimeout(CSaveIni(app_).ReadPageReadTimeout(resting));

    uint8_t frame[3] = {kPageRead, 0, 0};
    SplitAddress(address, frame[2], frame[1]);

    int result = 0;
    channel.Purge();
    // A routine that did not load has already run the recovery.
    bool ready = true;
    if (app_.IsLite()) {
        ready = app_.LoadRoutine(kPageRead) != 0;
        channel.Purge();
    }
    if (ready) {
        channel.Write(frame, sizeof frame);
        if (channel.Read(buffer, kPageSize) == static_cast<int>(kPageSize))
            result = 1;
        else
            app_.RecoverLink();
        // The handshake ends a page that came; after a lost one the recovery
        // has rebuilt the link already (a second recovery would ask for a
        // second reset). A handshake that fails has run the recovery: the
        // page does not count.
        if (result && app_.IsLite() && !app_.LoadRoutine(kHandshake)) result = 0;
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

std::string CCheckMemorryCmd::ToHex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

uint32_t CCheckMemorryCmd::HexToInt(const std::string& text) {
    constexpr uint32_t kMax = 0xFFFFFFFF;
    uint32_t value = 0;
    for (char ch : text) {
        // A value that no longer fits stays at the top, so that nine or more
        // digits can never wrap round to a small address.
        if (value > (kMax - HexDigitValue(ch)) / 16) return kMax;
        value = value * 16 + HexDigitValue(ch);
    }
    return value;
}

}  // namespace kv
