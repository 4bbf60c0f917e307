#include "link/command.h"

#include "app/kelvix_app.h"

namespace kv {

int CCommand::CheckStatusError(CSerialComm& channel, std::string_view kind) {
    // A routine that did not load has already run the recovery; the status
    // byte would only time out and ask the user a second time.
    if (app_.IsLite() && !app_.LoadRoutine(kStatusRead)) return 1;
    const uint8_t code = kStatusRead;
    channel.Write(&code, 1);
    const int bit = kind == "erase" ? 5 : kind == "program" ? 4 : 0;
    uint8_t reply[2];
    if (channel.Read(reply, 2) != 2) {
        app_.RecoverLink();
        return 1;
    }
    if (app_.IsLite()) app_.LoadRoutine(kHandshake);
    return (reply[0] >> bit) & 1;
}

uint32_t CCommand::HexDigitValue(char ch) {
    if (ch >= '0' && ch <= '9') return static_cast<uint32_t>(ch - '0');
    if (ch >= 'a' && ch <= 'f') return static_cast<uint32_t>(ch - 'a' + 10);
    if (ch >= 'A' && ch <= 'F') return static_cast<uint32_t>(ch - 'A' + 10);
    return 0;
}

}  // namespace kv
