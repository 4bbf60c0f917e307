#include "sim/chip.h"

#include <algorithm>

#include "sim/mcu_layout.h"
#include "sim/wire_timing.h"

namespace sim {

namespace {

constexpr uint8_t kSrdReady = 0x80;
constexpr uint8_t kSrdEraseError = 0x20;
constexpr uint8_t kSrdProgramError = 0x10;
constexpr uint8_t kSrd1ChecksumMatch = 0x10;
constexpr uint8_t kSrd1ReceiveTimeout = 0x02;

std::optional<uint32_t> RateOfCode(uint8_t code) {
    switch (code) {
        case 0xB0: return 9600;
        case 0xB1: return 19200;
        case 0xB2: return 38400;
        case 0xB3: return 57600;
        case 0xB4: return 115200;
        default: return std::nullopt;
    }
}

// Bytes of the frame that a command code opens (the code included).
size_t FrameLength(uint8_t code) {
    switch (code) {
        case 0xFF: return 3;
        case 0x41: return 3 + kPageSize;
        case 0x20: return 4;
        case 0xA7: return 2;
        case 0xF5: return 12;
        case 0xFA: return 4;  // the header; the data follow
        default: return 1;
    }
}

uint32_t PageAddress(uint8_t a8, uint8_t a16) {
    return (static_cast<uint32_t>(a16) << 16) | (static_cast<uint32_t>(a8) << 8);
}

}  // namespace

Chip::Chip(Options options) : options_(std::move(options)) {
    auto addresses = IdAddresses(options_.mcu);
    for (size_t i = 0; i < addresses.size(); ++i) flash_.Write(addresses[i], options_.id[i]);
}

void Chip::Reset() {
    baud_ = kStartBaud;
    pendingBaud_.reset();
    synced_ = false;
    zeroRun_ = 0;
    emptyBlocks_ = 0;
    frameKind_ = FrameKind::None;
    frame_.clear();
    loadedSlot_.reset();
    eraseStage_ = 0;
    srdErrors_ = 0;
    srd1Flags_ = 0;
    idState_ = 0;
    busyUntilUs_ = 0;
    ++resets_;
}

void Chip::SetLine(Line line, bool on, uint64_t atUs) {
    RunTimers(atUs);
    if (!options_.bootLines) return;
    if (line == Line::Rts) {
        rts_ = on;
        return;
    }
    if (!on) {
        inReset_ = true;
        return;
    }
    if (!inReset_) return;
    inReset_ = false;
    Reset();
    inProgram_ = !rts_;  // the boot-mode input is read as the reset ends
}

uint8_t Chip::Srd() const {
    const Faults& f = options_.faults;
    return static_cast<uint8_t>(((kSrdReady | srdErrors_) | f.srdSet) & ~f.srdClear);
}

uint8_t Chip::Srd1() const {
    const Faults& f = options_.faults;
    return static_cast<uint8_t>(((srd1Flags_ | (idState_ << 2)) | f.srd1Set) & ~f.srd1Clear);
}

IdCode Chip::IdInFlash() const {
    IdCode id;
    auto addresses = IdAddresses(options_.mcu);
    for (size_t i = 0; i < id.size(); ++i) id[i] = flash_.Read(addresses[i]);
    return id;
}

uint64_t Chip::ByteUs(uint32_t baud) const { return options_.wireTiming ? WireTimeUs(1, baud) : 0; }

std::vector<TimedByte> Chip::Feed(const uint8_t* data, size_t count, uint32_t hostBaud, uint64_t nowUs) {
    out_.clear();
    // The host's transmitter sends one byte after the other.
    uint64_t t = std::max(nowUs, rxFreeUs_);
    for (size_t i = 0; i < count; ++i) {
        if (!options_.inputArrivesWhenHanded) t += ByteUs(hostBaud);
        Receive(data[i], hostBaud, t);
    }
    rxFreeUs_ = t;
    return std::move(out_);
}

std::vector<TimedByte> Chip::Advance(uint64_t nowUs) {
    out_.clear();
    RunTimers(nowUs);
    return std::move(out_);
}

std::optional<uint64_t> Chip::NextTimerUs() const {
    if (frameKind_ != FrameKind::Download) return std::nullopt;
    return lastByteUs_ + options_.downloadGapUs;
}

void Chip::RunTimers(uint64_t nowUs) {
    auto due = NextTimerUs();
    if (due && *due <= nowUs) {
        srd1Flags_ |= kSrd1ReceiveTimeout;
        DownloadDone(false, *due);
    }
}

void Chip::Receive(uint8_t value, uint32_t hostBaud, uint64_t atUs) {
    RunTimers(atUs);
    if (pendingBaud_ && atUs >= pendingBaudAtUs_) {
        baud_ = *pendingBaud_;
        pendingBaud_.reset();
    }
    // A chip in reset or in its program hears nothing of the boot loader's.
    bool understood = hostBaud == baud_ && !Deaf();
    transcript_.push_back({value, atUs, hostBaud, understood});
    ++received_;

    if (understood) {
        // A frame that stalled is given up; the next byte starts afresh.
        if (frameKind_ != FrameKind::None && frameKind_ != FrameKind::Download &&
            atUs - lastByteUs_ > options_.frameGapUs) {
            frameKind_ = FrameKind::None;
            frame_.clear();
            srd1Flags_ |= kSrd1ReceiveTimeout;
        }
        lastByteUs_ = atUs;
        if (!synced_)
            Asleep(value, atUs);
        else if (options_.mode == Mode::Lite)
            SequencerByte(value, atUs);
        else
            LoaderByte(value, atUs);
    }

    if (options_.faults.resetAfterBytes != 0 && received_ == options_.faults.resetAfterBytes) Reset();
}

// Not synchronised: a run of 0x00 bytes arms the chip; 0xB0 then wakes it.
// The sequencer also wakes on the run alone, when something else follows.
void Chip::Asleep(uint8_t value, uint64_t atUs) {
    if (value == 0x00) {
        ++zeroRun_;
        return;
    }
    bool armed = zeroRun_ >= kWakeZeros;
    zeroRun_ = 0;
    if (!armed) return;
    if (options_.mode != Mode::Lite) {
        if (value != 0xB0) return;
        synced_ = true;
        Reply(0xB0, {0xB0}, atUs);
        return;
    }
    // The sequencer is awake after the run alone. When a block follows at
    // once, the run's last 0x00 was the high byte of its length.
    synced_ = true;
    if (value == 0xB0) {
        Reply(0xB0, {0xB0, 0x11}, atUs);
    } else if (value <= 0x03) {
        SequencerByte(value, atUs);
    } else {
        SequencerByte(0x00, atUs);
        SequencerByte(value, atUs);
    }
}

// Back to waiting for the rest of a wake-up run that has begun; the chip's
// rate, flash, status and ID state are kept.
void Chip::FallAsleep(int zeros) {
    synced_ = false;
    zeroRun_ = zeros;
    emptyBlocks_ = 0;
    loadedSlot_.reset();
    eraseStage_ = 0;
}

void Chip::LoaderByte(uint8_t value, uint64_t atUs) {
    if (frameKind_ == FrameKind::None)
        StartCommand(value, atUs);
    else
        Collect(value, atUs);
}

void Chip::StartCommand(uint8_t code, uint64_t atUs) {
    frame_.assign(1, code);
    frameNeed_ = FrameLength(code);
    frameKind_ = FrameKind::Command;
    if (frameNeed_ == 1) Execute(atUs);
}

void Chip::Collect(uint8_t value, uint64_t atUs) {
    frame_.push_back(value);
    if (frameKind_ == FrameKind::Download) {
        download_.push_back(value);
        downloadSum_ = static_cast<uint8_t>(downloadSum_ + value);
        if (frame_.size() == frameNeed_) DownloadDone(true, atUs);
        return;
    }
    if (frameKind_ == FrameKind::Block && frame_.size() == 2)
        frameNeed_ = 2 + ((static_cast<size_t>(frame_[0]) << 8) | frame_[1]);
    if (frame_.size() < frameNeed_) return;
    if (frameKind_ == FrameKind::Block)
        BlockDone(atUs);
    else
        Execute(atUs);
}

// The sequencer: a routine block first, then its command; 0x06 ends a
// command. A command byte without its routine is ignored.
void Chip::SequencerByte(uint8_t value, uint64_t atUs) {
    if (frameKind_ != FrameKind::None) {
        Collect(value, atUs);
        return;
    }
    if (value != 0x00) emptyBlocks_ = 0;
    std::optional<int> slot = loadedSlot_;
    loadedSlot_.reset();
    if (slot) {
        static constexpr uint8_t kSlotCode[kv::RoutineTable::kSlots] = {0xFF, 0x41, 0xA7, 0xA7, 0xA7, 0x70, 0x50,
                                                                        0x71, 0xF5, 0xFB, 0xB0, 0xB1, 0xB2, 0xB3};
        if (value == kSlotCode[*slot]) {
            StartCommand(value, atUs);
            return;
        }
    }
    if (value == 0x06) {
        Reply(0x06, {0x13, 0x11}, atUs);
    } else if (value <= 0x03) {  // a block's length field: at most 1022
        frame_.assign(1, value);
        frameNeed_ = 2;
        frameKind_ = FrameKind::Block;
    }
}

void Chip::BlockDone(uint64_t atUs) {
    frameKind_ = FrameKind::None;
    // A run of 0x00 bytes reads as empty blocks, which no routine is: it is
    // the wake-up of a new session, which the sequencer hears in any state.
    if (frame_.size() == 2 && frame_[0] == 0x00 && frame_[1] == 0x00) {
        frame_.clear();
        if (++emptyBlocks_ * 2 >= kWakeZeros) FallAsleep(emptyBlocks_ * 2);
        return;
    }
    emptyBlocks_ = 0;
    const auto& table = options_.firmware;
    int found = -1;
    for (int i = 0; i < kv::RoutineTable::kSlots && table.loaded; ++i) {
        const auto& s = table.slots[static_cast<size_t>(i)];
        if (s.length == frame_.size() && std::equal(frame_.begin(), frame_.end(), s.bytes.begin())) {
            found = i;
            break;
        }
    }
    frame_.clear();
    if (found < 0) return;  // not one of ours: the sequencer stays silent

    Reply(kAckCode, {0x13, 0x06, 0x11}, atUs);
    if (found >= 2 && found <= 4) {
        // Erase all comes in three pieces, in order; the third starts it.
        eraseStage_ = (found - 2 == eraseStage_) ? eraseStage_ + 1 : 0;
        if (eraseStage_ == 3) {
            eraseStage_ = 0;
            EraseAll(atUs);
        }
        return;
    }
    eraseStage_ = 0;
    if (found == 6) {
        ClearStatus();
        return;
    }
    loadedSlot_ = found;
}

void Chip::Execute(uint64_t atUs) {
    frameKind_ = FrameKind::None;
    uint8_t code = frame_[0];
    bool lite = options_.mode == Mode::Lite;
    if (RateOfCode(code)) {
        BaudCode(code, atUs);
        return;
    }
    switch (code) {
        case 0x70: StatusRead(atUs); break;
        case 0x50: ClearStatus(); break;
        case 0xFF: PageRead(atUs); break;
        case 0x41:
            PageProgram(atUs);
            if (lite) Reply(kAckCode, {0x13, 0x06, 0x11}, atUs);
            break;
        case 0xA7:
            if (frame_[1] == 0xD0)
                EraseAll(atUs);
            else
                srdErrors_ |= kSrdEraseError;
            break;
        case 0x20: BlockErase(atUs); break;
        case 0xF5:
            IdCheck();
            if (lite) Reply(kAckCode, {0x13, 0x06, 0x11}, atUs);
            break;
        case 0xFB: {
            std::vector<uint8_t> text(8, ' ');
            for (size_t i = 0; i < 8 && i < options_.version.size(); ++i)
                text[i] = static_cast<uint8_t>(options_.version[i]);
            Reply(0xFB, text, atUs);
            break;
        }
        case 0xFA: {
            // Header in: the announced length of data follows.
            size_t length = frame_[1] | (static_cast<size_t>(frame_[2]) << 8);
            download_.clear();
            downloadSum_ = 0;
            frameNeed_ = 4 + length;
            frameKind_ = FrameKind::Download;
            srd1Flags_ = static_cast<uint8_t>(srd1Flags_ & ~(kSrd1ChecksumMatch | kSrd1ReceiveTimeout));
            if (length == 0) DownloadDone(true, atUs);
            return;
        }
        default: break;  // 0x00 filler, 0x75 pre-erase, and anything unknown
    }
    frame_.clear();
}

void Chip::DownloadDone(bool complete, uint64_t atUs) {
    bool match = complete && downloadSum_ == frame_[3];
    if (match) srd1Flags_ |= kSrd1ChecksumMatch;
    frameKind_ = FrameKind::None;
    frame_.clear();
    if (options_.mode == Mode::Bootloader) Reply(0xFA, {downloadSum_, static_cast<uint8_t>(match ? 0x00 : 0x01)}, atUs);
}

void Chip::BaudCode(uint8_t code, uint64_t atUs) {
    bool intact = Reply(code, {code}, atUs);
    // The chip moves to the new rate once its echo has gone out.
    if (!intact) return;
    pendingBaud_ = *RateOfCode(code);
    pendingBaudAtUs_ = out_.empty() ? atUs : out_.back().dueUs;
}

void Chip::StatusRead(uint64_t atUs) {
    if (options_.busyStatusAnswers && atUs < busyUntilUs_) {
        Reply(0x70, {static_cast<uint8_t>(Srd() & ~kSrdReady), Srd1()}, atUs, false);
        return;
    }
    Reply(0x70, {Srd(), Srd1()}, atUs);
}

void Chip::ClearStatus() {
    srdErrors_ = 0;
    srd1Flags_ = 0;
}

void Chip::PageRead(uint64_t atUs) {
    uint32_t base = PageAddress(frame_[1], frame_[2]);
    auto page = flash_.ReadPage(base);
    auto flip = options_.faults.flipOnReadAddress;
    if (flip && *flip / kPageSize == base / kPageSize) page[*flip % kPageSize] ^= 0xFF;
    Reply(0xFF, std::vector<uint8_t>(page.begin(), page.end()), atUs);
}

void Chip::PageProgram(uint64_t atUs) {
    uint32_t base = PageAddress(frame_[1], frame_[2]);
    FlashMemory::Page data;
    std::copy(frame_.begin() + 3, frame_.end(), data.begin());
    auto failPage = options_.faults.programErrorPage;
    if (Gated() || (failPage && *failPage / kPageSize == base / kPageSize)) {
        srdErrors_ |= kSrdProgramError;
        return;
    }
    if (!flash_.Program(base, data)) srdErrors_ |= kSrdProgramError;
    Busy(atUs, options_.programBusyUs);
}

void Chip::EraseAll(uint64_t atUs) {
    if (Gated() || options_.faults.eraseError) {
        srdErrors_ |= kSrdEraseError;
        return;
    }
    flash_.EraseAll();
    Busy(atUs, options_.eraseBusyUs);
}

void Chip::BlockErase(uint64_t atUs) {
    auto block = BlockAt(PageAddress(frame_[1], frame_[2]));
    if (frame_[3] != 0xD0 || !block || Gated() || options_.faults.eraseError) {
        srdErrors_ |= kSrdEraseError;
        return;
    }
    flash_.Erase(block->first, block->last);
    Busy(atUs, options_.eraseBusyUs);
}

// The frame must name the first ID address of this MCU type; a chip whose ID
// area is blank takes any ID.
void Chip::IdCheck() {
    uint32_t named = frame_[1] | (static_cast<uint32_t>(frame_[2]) << 8) | (static_cast<uint32_t>(frame_[3]) << 16);
    auto addresses = IdAddresses(options_.mcu);
    IdCode stored = IdInFlash();
    bool blank = std::all_of(stored.begin(), stored.end(), [](uint8_t b) { return b == kErased; });
    bool match = named == addresses[0] && frame_[4] == 0x07 &&
                 (blank || std::equal(stored.begin(), stored.end(), frame_.begin() + 5));
    idState_ = match ? 3 : 1;
}

void Chip::Busy(uint64_t atUs, uint64_t durationUs) { busyUntilUs_ = std::max(atUs, busyUntilUs_) + durationUs; }

bool Chip::Reply(uint8_t code, std::vector<uint8_t> bytes, uint64_t readyUs, bool waitUntilReady) {
    uint32_t nth = ++replyCounts_[code];
    const std::vector<uint8_t> meant = bytes;
    std::vector<uint8_t> before;
    for (const auto& f : options_.faults.replies) {
        if (f.code != code || (f.nth != 0 && f.nth != nth)) continue;
        switch (f.kind) {
            case ReplyFault::Kind::Silent: bytes.clear(); break;
            case ReplyFault::Kind::Cut:
                if (bytes.size() > f.keep) bytes.resize(f.keep);
                break;
            case ReplyFault::Kind::WrongEcho:
                if (!bytes.empty()) bytes[0] ^= 0x01;
                break;
            case ReplyFault::Kind::Stray: before.insert(before.end(), f.stray.begin(), f.stray.end()); break;
        }
    }
    bool intact = bytes == meant;
    bytes.insert(bytes.begin(), before.begin(), before.end());
    // Nothing goes out while the chip is still erasing or programming.
    uint64_t t = std::max({readyUs, waitUntilReady ? busyUntilUs_ : 0, txFreeUs_});
    for (uint8_t b : bytes) {
        t += ByteUs(baud_);
        out_.push_back({b, t});
    }
    if (!bytes.empty()) txFreeUs_ = t;
    return intact;
}

}  // namespace sim
