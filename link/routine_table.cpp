#include "link/routine_table.h"

namespace kv {

int RoutineTable::SlotFor(uint8_t code) {
    switch (code) {
        case 0xFF: return 0;
        case 0x41: return 1;
        case 0xA7: return 2;
        case 0x70: return 5;
        case 0x50: return 6;
        case 0x71: return 7;
        case 0xF5: return 8;
        case 0xFB: return 9;
        case 0xB0: return 10;
        case 0xB1: return 11;
        case 0xB2: return 12;
        case 0xB3: return 13;
        default: return -1;
    }
}

}  // namespace kv
