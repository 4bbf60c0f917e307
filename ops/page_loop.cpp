#include "ops/page_loop.h"

#include "link/check_memory_cmd.h"
#include "link/link.h"

namespace kv {

namespace {
constexpr uint32_t kBarUnit = 500;  // bytes of address range per bar step
}  // namespace

CPageLoop::CPageLoop(CLink& link, uint32_t start, uint32_t end)
    : app_(link), start_(start), end_(end), last_(start) {}

CPageLoop::~CPageLoop() { Close(); }

uint16_t CPageLoop::BarHigh(uint32_t start, uint32_t end) {
    return static_cast<uint16_t>((end - start - kPageSize) / kBarUnit);
}

uint32_t CPageLoop::BarPos(uint32_t start, uint32_t address) { return (address - start) / kBarUnit; }

bool CPageLoop::Open(const std::string& message, const std::string& title) {
    progress_ = app_.User().OpenProgress(message, title, start_, end_);
    return progress_ != nullptr;
}

CPageLoop::End CPageLoop::Run(const Steps& steps) {
    cancelled_ = false;
    if (!progress_) return End::Stopped;
    // Counted wide, so a range that ends at the top of the 32-bit space
    // cannot wrap back to page 0.
    for (uint64_t next = start_; next < end_; next += kPageSize) {
        const auto address = static_cast<uint32_t>(next);
        last_ = address;
        if (steps.work && !steps.work(address)) return End::Stopped;
        if (progress_->Advance(address)) {
            cancelled_ = true;
            progress_.reset();  // the display is gone with the cancel
            return End::Cancelled;
        }
        if (steps.pauseMs) app_.Sleep(steps.pauseMs);
        if (steps.check && !steps.check(address)) return End::Stopped;
    }
    return End::Completed;
}

void CPageLoop::Close() {
    if (progress_) progress_->Close();
    progress_.reset();
}

}  // namespace kv
