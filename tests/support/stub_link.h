#pragma once
// For rigs that run a CKelvixApp over a FakeSerialDevice: every sequencer
// routine is a two-byte stub (0xEE, slot) that a scripted loader can tell
// from a command, and the channel is open at 9600 baud, 8N1, 5000 ms.
#include <cstddef>
#include <cstdint>

#include "app/kelvix_app.h"
#include "image/routine_table.h"

namespace kvtest {

inline void OpenStubLink(kv::CKelvixApp& app) {
    for (int slot = 0; slot < kv::RoutineTable::kSlots; ++slot) {
        auto& s = app.Routines().slots[static_cast<size_t>(slot)];
        s.bytes[0] = 0xEE;
        s.bytes[1] = static_cast<uint8_t>(slot);
        s.length = 2;
    }
    app.Routines().loaded = true;
    app.Channel().Open("COM1");
    app.ApplyLineSettings(9600, 8, 0, 0);
    app.Channel().SetTimeout(5000);
}

}  // namespace kvtest
