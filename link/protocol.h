#pragma once
// The boot loader's byte protocol: every command code, status bit, timing and
// frame, named once. The exchanges that use them live beside this file.
#include <array>
#include <cstdint>

namespace kv {

constexpr uint32_t kPageSize = 256;

// Command codes written to the chip.
enum CommandCode : uint8_t {
    kSyncFiller = 0x00,
    kStatusRead = 0x70,
    kClearStatus = 0x50,
    kPageRead = 0xFF,
    kPageProgram = 0x41,
    kBlockErase = 0x20,
    kEraseAll = 0xA7,
    kEraseConfirm = 0xD0,
    kErasePrefix = 0x75,
    kIdCheck = 0xF5,
    kDownload = 0xFA,
    kVersionRead = 0xFB,
    kHandshake = 0x06,  // kelvlite's end-of-command handshake
};

// Baud-rate codes; 0xB0 also ends the synchronisation sequence.
constexpr uint8_t kCode9600 = 0xB0;
// The boot loader's code for a baud rate (0xB0..0xB4), 0x00 for any other.
constexpr uint8_t BaudRateCode(uint32_t baud) {
    switch (baud) {
        case 9600: return 0xB0;
        case 19200: return 0xB1;
        case 38400: return 0xB2;
        case 57600: return 0xB3;
        case 115200: return 0xB4;
        default: return 0x00;
    }
}

// kelvlite's sequencer: its byte after the synchronisation, and what it
// answers to a routine block and to the end-of-command handshake.
constexpr uint8_t kSequencerReady = 0x11;
constexpr std::array<uint8_t, 3> kRoutineAck = {0x13, 0x06, 0x11};
constexpr std::array<uint8_t, 2> kHandshakeAck = {0x13, 0x11};

// The status read's first byte, SRD.
constexpr uint8_t kSrdReady = 0x80;  // bit 7: ready (clear: busy)
constexpr int kSrdEraseErrorBit = 5;
constexpr int kSrdProgramErrorBit = 4;
constexpr int kSrdBlockErrorBit = 3;
// Its second byte, SRD1.
constexpr int kSrd1ChecksumBit = 4;  // set: the download's checksum matched
constexpr int kSrd1ReceiveTimeoutBit = 1;
constexpr int kSrd1OverNumberBit = 0;

// The ID check state in SRD1 bits 3-2.
enum class IdState { NotYet = 0, NoMatch = 1, Undefined = 2, Verified = 3 };
constexpr IdState IdStateOf(uint8_t srd1) { return static_cast<IdState>((srd1 >> 2) & 0x03); }

// Read time-outs of the one channel: the resting value, the bound on each
// status wait between page frames, and the wait for an erase.
constexpr uint32_t kRestingTimeoutMs = 5000;
constexpr uint32_t kPageStatusTimeoutMs = 150;
constexpr uint32_t kEraseTimeoutMs = 40000;
// The wait for the echo of a rate code sent at a rate the boot loader may
// have been left at (one byte there and back; nothing else is asked).
constexpr uint32_t kRateProbeTimeoutMs = 200;
// Fixed pauses: after a command without a reply (and around the
// synchronisation), between synchronisation fillers (kelvlite's recovery
// paces them a little faster), after each baud-rate code, after the start-up
// synchronisation, before kelvlite's first status read, after a routine, and
// between the pages of kelvane's checking loops.
constexpr uint32_t kSettleMs = 50;
constexpr uint32_t kBetweenFillersMs = 20;
constexpr uint32_t kLiteRecoveryBetweenFillersMs = 15;
constexpr uint32_t kAfterBaudCodeMs = 1000;
constexpr uint32_t kAfterSyncMs = 1000;
constexpr uint32_t kLiteFirstStatusMs = 1000;
constexpr uint32_t kAfterRoutineMs = 50;
constexpr uint32_t kBetweenCheckPagesMs = 10;

// Frames, in wire order. Pages are addressed by address bits 8-15 and 16-23.
using PageReadFrame = std::array<uint8_t, 3>;
using PageProgramFrame = std::array<uint8_t, 3 + kPageSize>;
using BlockEraseFrame = std::array<uint8_t, 4>;
using EraseAllFrame = std::array<uint8_t, 2>;
using IdFrame = std::array<uint8_t, 12>;
using IdBytes = std::array<uint8_t, 7>;
using DownloadHeader = std::array<uint8_t, 4>;

constexpr PageReadFrame BuildPageReadFrame(uint32_t address) {
    return {kPageRead, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address >> 16)};
}
// The 256 data bytes go after the three header bytes.
constexpr void SetPageProgramHeader(PageProgramFrame& frame, uint32_t address) {
    frame[0] = kPageProgram;
    frame[1] = static_cast<uint8_t>(address >> 8);
    frame[2] = static_cast<uint8_t>(address >> 16);
}
// A block named by address bits 8-15 and 16-23.
constexpr BlockEraseFrame BuildBlockEraseFrame(uint8_t middle, uint8_t high) {
    return {kBlockErase, middle, high, kEraseConfirm};
}
constexpr EraseAllFrame kEraseAllFrame = {kEraseAll, kEraseConfirm};
constexpr uint8_t kIdByteCount = 0x07;
// 0xF5, the first ID address (low byte first), 0x07, the seven ID bytes.
constexpr IdFrame BuildIdFrame(uint32_t idAddress, const IdBytes& id) {
    IdFrame frame{kIdCheck, static_cast<uint8_t>(idAddress), static_cast<uint8_t>(idAddress >> 8),
                  static_cast<uint8_t>(idAddress >> 16), kIdByteCount};
    for (size_t i = 0; i < id.size(); ++i) frame[5 + i] = id[i];
    return frame;
}
// The ID check that names address 0 and an all-zero ID: it puts the chip's
// ID state back to "not verified".
constexpr IdFrame kZeroIdFrame = BuildIdFrame(0, IdBytes{});
// 0xFA, the length (low byte first), the checksum over the data.
constexpr DownloadHeader BuildDownloadHeader(uint32_t length, uint8_t checksum) {
    return {kDownload, static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>((length >> 8) & 0xFF), checksum};
}
// The boot-loader mode's answer to a download: two bytes, the second the result.
constexpr uint8_t kDownloadCompleted = 0x00;
constexpr uint8_t kDownloadNotCompleted = 0x01;
// The version read's reply: eight bytes of text.
constexpr size_t kVersionLength = 8;

// The MCU types of the ID check: where the first ID byte lies.
enum McuType : int { kVireoM = 0, kVireoH = 1, kWren = 2 };
constexpr uint32_t IdAddress(int mcuType) {
    if (mcuType == kVireoH) return 0xFFFFDF;
    if (mcuType == kWren) return 0x00FFD4;
    return 0x0FFFDF;
}

}  // namespace kv
