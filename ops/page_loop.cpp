#include "ops/page_loop.h"

#include "app/kelvix_app.h"
#include "link/check_memory_cmd.h"
#include "ops/progress_dlg.h"

namespace kv {

namespace {
constexpr uint32_t kBarUnit = 500;  // bytes of address range per bar step
constexpr uint32_t kPauseSliceMs = 100;  // Cancel is taken at least this often while pausing
}  // namespace

CPageLoop::CPageLoop(CKelvixApp& app, uint32_t start, uint32_t end)
    : app_(app), start_(start), end_(end), last_(start) {}

CPageLoop::~CPageLoop() { Close(); }

uint16_t CPageLoop::BarHigh(uint32_t start, uint32_t end) {
    return static_cast<uint16_t>((end - start - kPageSize) / kBarUnit);
}

uint32_t CPageLoop::BarPos(uint32_t start, uint32_t address) { return (address - start) / kBarUnit; }

bool CPageLoop::Open(const std::string& message, const std::string& title) {
    cancelFlag_ = 0;
    window_ = CProgressDlg::Open(app_, &cancelFlag_);
    if (!window_) return false;
    window_->Prepare(message, title, 0, BarHigh(start_, end_), 0);
    return true;
}

CPageLoop::End CPageLoop::Run(const Steps& steps) {
    cancelled_ = false;
    if (!window_) return End::Stopped;
    // Counted wide, so a range that ends at the top of the 32-bit space
    // cannot wrap back to page 0.
    for (uint64_t next = start_; next < end_; next += kPageSize) {
        const auto address = static_cast<uint32_t>(next);
        last_ = address;
        if (steps.work && !steps.work(address)) return End::Stopped;
        // The window is gone once the user cancelled; SetPos then does nothing.
        if (!cancelFlag_) window_->SetPos(BarPos(start_, address));
        PumpPendingMessages(app_.Ui());
        if (cancelFlag_ || !Pause(steps.pauseMs)) {
            cancelled_ = true;
            window_ = nullptr;  // it has destroyed itself
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
        PumpPendingMessages(app_.Ui());
        if (cancelFlag_) return false;
    }
    if (ms) app_.Sleep(ms);
    return true;
}

void CPageLoop::Close() {
    // The flag is 1 exactly when the window has destroyed itself.
    if (window_ && !cancelFlag_) window_->Close();
    window_ = nullptr;
}

}  // namespace kv
