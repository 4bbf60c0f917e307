#pragma once
// What the link keeps between runs and reads back: the last communication
// state that worked, the erase variant and the first synchronisation byte
// chosen by the start-up switches, and a hand-set page-read time-out. The
// dialog programs keep them in their settings file; kelvane-cli answers from
// its arguments and keeps nothing.
#include <cstdint>

namespace kv {

// The communication state: only the rate reaches the line (always 8N1); the
// other three values are carried along for the settings file.
struct CommState {
    uint32_t baud = 9600;
    uint8_t byteSize = 8;
    uint8_t stopBits = 0;
    uint8_t parity = 0;
};

class ILinkSettings {
public:
    virtual ~ILinkSettings() = default;
    // The stored state, when a usable one is stored.
    virtual bool StoredCommState(CommState& state) = 0;
    virtual void StoreCommState(const CommState& state) = 0;
    // "+a": old boot loaders erase block by block.
    virtual bool EraseBlockByBlock() = 0;
    // "+Z": the synchronisation begins with the 9600 bps code.
    virtual bool SyncBeginsWithB0() = 0;
    // The return to 9600 bps reads the erase variant and writes it back.
    virtual void RewriteEraseVariant() = 0;
    // The page-read time-out; `fallback` when none is set.
    virtual uint32_t PageReadTimeout(uint32_t fallback) = 0;
};

}  // namespace kv
