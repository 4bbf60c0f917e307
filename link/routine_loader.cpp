// kelvlite's sequencer: before a command the program sends the routine that
// executes it and waits for the sequencer's acknowledgement; after a command
// it runs the end-of-command handshake.
#include <algorithm>

#include "link/link.h"

namespace kv {

namespace {
constexpr int kEraseAllPieces = 3;  // slots 2, 3 and 4, in this order
}  // namespace

int CLink::ExpectAcknowledgement(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        uint8_t got = 0;
        if (channel_.Read(&got, 1) != 1 || got != bytes[i]) {
            RecoverLink();
            return 0;
        }
    }
    return 1;
}

int CLink::WaitAcknowledgement() {
    return ExpectAcknowledgement(kRoutineAck.data(), static_cast<int>(kRoutineAck.size()));
}

int CLink::SendRoutineSlot(int slot) {
    const RoutineSlot& s = routines_.slots[static_cast<size_t>(slot)];
    const uint32_t length = std::min<uint32_t>(s.length, static_cast<uint32_t>(s.bytes.size()));
    channel_.Write(s.bytes.data(), length);
    if (!WaitAcknowledgement()) return 0;
    Sleep(kAfterRoutineMs);
    return 1;
}

int CLink::LoadRoutine(uint8_t code) {
    if (!IsLite()) return 1;  // kelvane's boot loader needs no routines
    if (code == kHandshake) {
        channel_.Write(&code, 1);
        if (!ExpectAcknowledgement(kHandshakeAck.data(), static_cast<int>(kHandshakeAck.size()))) return 0;
        Sleep(kAfterRoutineMs);
        return 1;
    }
    const int slot = RoutineTable::SlotFor(code);
    if (slot < 0) return 1;  // the command needs no routine
    const int pieces = code == kEraseAll ? kEraseAllPieces : 1;
    for (int i = 0; i < pieces; ++i)
        if (!SendRoutineSlot(slot + i)) return 0;
    return 1;
}

}  // namespace kv
