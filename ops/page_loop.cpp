#include "ops/page_loop.h"

#include "link/link.h"

namespace kv {

namespace {
constexpr uint32_t kBarUnit = 500;       // bytes of address range per bar step
constexpr uint32_t kPauseSliceMs = 100;  // Cancel is taken at least this often while pausing
}  // namespace

uint32_t PagePick::CountIn(uint32_t start, uint32_t end) const {
    const uint32_t first = start >> 8;
    const uint32_t last = end >> 8;
    const uint32_t all = end > start ? last - first + 1 : 1;
    if (!pages) return all;
    const uint32_t inSet = pages->CountIn(first, last);
    return held ? inSet : all - inSet;
}

CPageLoop::CPageLoop(CLink& link, uint32_t start, uint32_t end, PagePick pick)
    : app_(link), start_(start), end_(end), pick_(pick), last_(start) {}

CPageLoop::~CPageLoop() { Close(); }

uint16_t CPageLoop::BarHigh(uint32_t start, uint32_t end) {
    return static_cast<uint16_t>((end - start - kPageSize) / kBarUnit);
}

uint32_t CPageLoop::BarPos(uint32_t start, uint32_t address) { return (address - start) / kBarUnit; }

bool CPageLoop::Open(const std::string& message, const std::string& title) {
    progress_ = app_.User().OpenProgress(message, title, start_, end_);
    if (progress_ && pick_.pages) progress_->Visits(pick_.CountIn(start_, end_));
    return progress_ != nullptr;
}

CPageLoop::End CPageLoop::Run(const Steps& steps) {
    cancelled_ = false;
    if (!progress_) return End::Stopped;
    // Counted wide, so a range that ends at the top of the 32-bit space
    // cannot wrap back to page 0.
    for (uint64_t next = start_; next < end_; next += kPageSize) {
        const auto address = static_cast<uint32_t>(next);
        if (!pick_.Visits(address)) continue;
        last_ = address;
        if (steps.work && !steps.work(address)) return End::Stopped;
        if (progress_->Advance(address) || !Pause(steps.pauseMs)) {
            cancelled_ = true;
            progress_.reset();  // the display is gone with the cancel
            return End::Cancelled;
        }
        if (steps.check && !steps.check(address)) return End::Stopped;
    }
    return End::Completed;
}

bool CPageLoop::Pause(uint32_t ms) {
    // A long pause goes in slices with the messages pumped between them, so
    // that Cancel is not left waiting.
    while (ms > kPauseSliceMs) {
        app_.Sleep(kPauseSliceMs);
        ms -= kPauseSliceMs;
        if (progress_->Poll()) return false;
    }
    if (ms) app_.Sleep(ms);
    return true;
}

Outcome CPageLoop::Interrupted(Operation op, Phase phase) const {
    return Outcome::Of(app_.User().StopRequested() ? OutcomeKind::Stopped : OutcomeKind::Cancelled, op, phase);
}

void CPageLoop::Close() {
    if (progress_) progress_->Close();
    progress_.reset();
}

}  // namespace kv
