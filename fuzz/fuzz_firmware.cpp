// kelvlite's firmware reader (firm.mot) on arbitrary files: it never writes
// outside its buffers, and a table it calls loaded has every routine within
// its slot.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/routine_table.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

std::string ScratchPath() {
    const char* dir = getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/fuzz_firmware_" + std::to_string(getpid()) + ".mot";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchPath();
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return 0;
    const bool whole = fwrite(data, 1, size, file) == size;
    fclose(file);
    if (!whole) return 0;

    kv::RoutineTable table;
    bool opened = false;
    unsigned badLine = 0;
    const bool loaded = kv::LoadSequencerFirmware(path, table, opened, &badLine);
    Check(opened);
    if (loaded) {
        Check(badLine == 0);
        for (const kv::RoutineSlot& slot : table.slots) Check(slot.length > 0 && slot.length <= slot.bytes.size());
    }
    return 0;
}
