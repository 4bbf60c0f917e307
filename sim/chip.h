#pragma once
// The simulated Vireo chip: a byte-stream state machine. Bytes go in with the
// host's line rate and the time they were written; what the chip answers comes
// back with the time each byte has fully arrived at the host. Time is in
// microseconds on any clock the caller likes (virtual or real).
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "sim/chip_options.h"
#include "sim/flash_memory.h"

namespace sim {

struct TimedByte {
    uint8_t value;
    uint64_t dueUs;  // the byte's stop bit has arrived at the host
};

struct ReceivedByte {
    uint8_t value;
    uint64_t timeUs;  // fully received by the chip
    uint32_t baud;    // the host's rate
    bool understood;  // false: sent at a rate other than the chip's, dropped
};

// The modem lines the board's reset and boot-mode inputs may hang on.
enum class Line { Dtr, Rts };

class Chip {
public:
    static constexpr uint32_t kStartBaud = 9600;
    static constexpr int kWakeZeros = 8;       // 0x00 bytes that arm the synchronisation
    static constexpr uint8_t kAckCode = 0x13;  // fault key of the sequencer's acknowledgements

    explicit Chip(Options options);

    std::vector<TimedByte> Feed(const uint8_t* data, size_t count, uint32_t hostBaud, uint64_t nowUs);
    std::vector<TimedByte> Feed(const std::vector<uint8_t>& bytes, uint32_t hostBaud, uint64_t nowUs) {
        return Feed(bytes.data(), bytes.size(), hostBaud, nowUs);
    }
    // Lets time pass without input: a stalled download ends at its deadline.
    std::vector<TimedByte> Advance(uint64_t nowUs);
    // When Advance next has something to do.
    std::optional<uint64_t> NextTimerUs() const;

    // Power-on state: 9600 bps, not synchronised, ID not verified, status
    // clear, any frame in progress dropped. The flash is kept.
    void Reset();
    // A modem line changed (Options::bootLines says what it does).
    void SetLine(Line line, bool on, uint64_t atUs);
    // In reset, or running the program rather than the boot loader.
    bool Deaf() const { return options_.bootLines && (inReset_ || inProgram_); }
    bool InProgram() const { return options_.bootLines && !inReset_ && inProgram_; }

    // Inspection.
    FlashMemory& Flash() { return flash_; }
    const FlashMemory& Flash() const { return flash_; }
    uint32_t Baud() const { return pendingBaud_ ? *pendingBaud_ : baud_; }  // after any echo in flight
    bool Synchronised() const { return synced_; }
    uint8_t Srd() const;  // what a status read would answer (busy aside)
    uint8_t Srd1() const;
    bool IdVerified() const { return idState_ == 3; }
    IdCode IdInFlash() const;
    const std::vector<uint8_t>& LastDownload() const { return download_; }
    const std::vector<ReceivedByte>& Transcript() const { return transcript_; }
    void ClearTranscript() { transcript_.clear(); }
    int ResetCount() const { return resets_; }
    const Options& Settings() const { return options_; }

    // Fault injection, at any time.
    Faults& MutableFaults() { return options_.faults; }
    void AddReplyFault(ReplyFault fault) { options_.faults.replies.push_back(std::move(fault)); }
    void SetWireTiming(bool on) { options_.wireTiming = on; }

private:
    enum class FrameKind { None, Command, Block, Download };

    void Receive(uint8_t value, uint32_t hostBaud, uint64_t atUs);
    void RunTimers(uint64_t nowUs);
    void Asleep(uint8_t value, uint64_t atUs);
    void LoaderByte(uint8_t value, uint64_t atUs);
    void SequencerByte(uint8_t value, uint64_t atUs);
    void FallAsleep(int zeros);
    void StartCommand(uint8_t code, uint64_t atUs);
    void Collect(uint8_t value, uint64_t atUs);
    void Execute(uint64_t atUs);
    void BlockDone(uint64_t atUs);
    void DownloadDone(bool complete, uint64_t atUs);

    void BaudCode(uint8_t code, uint64_t atUs);
    void StatusRead(uint64_t atUs);
    void ClearStatus();
    void PageRead(uint64_t atUs);
    void PageProgram(uint64_t atUs);
    void EraseAll(uint64_t atUs);
    void BlockErase(uint64_t atUs);
    void IdCheck();
    void Busy(uint64_t atUs, uint64_t durationUs);
    bool Gated() const { return options_.mode != Mode::Bootloader && idState_ != 3; }

    // Sends a reply for `code` when it is ready (not before the chip is idle),
    // with the faults for that code applied. True when it went out unchanged.
    bool Reply(uint8_t code, std::vector<uint8_t> bytes, uint64_t readyUs, bool waitUntilReady = true);
    uint64_t ByteUs(uint32_t baud) const;

    Options options_;
    FlashMemory flash_;

    uint32_t baud_ = kStartBaud;
    std::optional<uint32_t> pendingBaud_;
    uint64_t pendingBaudAtUs_ = 0;
    bool synced_ = false;
    int zeroRun_ = 0;

    FrameKind frameKind_ = FrameKind::None;
    std::vector<uint8_t> frame_;
    size_t frameNeed_ = 0;
    uint64_t lastByteUs_ = 0;

    std::optional<int> loadedSlot_;  // sequencer: routine waiting for its command
    int eraseStage_ = 0;             // sequencer: erase pieces acknowledged in order
    int emptyBlocks_ = 0;            // sequencer: 0x00 pairs in a row, a wake-up run

    uint8_t srdErrors_ = 0;  // bits 5, 4, 3
    uint8_t srd1Flags_ = 0;  // bits 4, 1, 0
    uint8_t idState_ = 0;    // 0 not yet, 1 mismatch, 3 verified

    uint64_t rxFreeUs_ = 0;
    uint64_t txFreeUs_ = 0;
    uint64_t busyUntilUs_ = 0;

    std::vector<uint8_t> download_;
    uint8_t downloadSum_ = 0;

    std::vector<TimedByte> out_;
    std::vector<ReceivedByte> transcript_;
    std::map<uint8_t, uint32_t> replyCounts_;
    uint64_t received_ = 0;
    int resets_ = 0;
    bool inReset_ = false;
    bool inProgram_ = true;  // with bootLines: until a reset with RTS asserted
    bool rts_ = false;
};

}  // namespace sim
