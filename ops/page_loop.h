#pragma once
// The page loop that the memory operations share: the progress window, the
// walk over a range page by page with the progress arithmetic, the message
// pump and the cancel test. Each operation brings its own page work, pause
// and check.
//
//   CPageLoop loop(app_, start, end);
//   if (!loop.Open("Program.", "Program")) return 0;
//   channel.SetTimeout(150);
//   auto how = loop.Run({.work = sendFrame, .pauseMs = interval, .check = statusOk});
//   ...
//   loop.Close();
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "image/page_set.h"
#include "link/outcome.h"

namespace kv {

class CLink;
class CProgress;

// Which pages of a range a loop visits: every page, the pages a set holds, or
// those it does not hold.
struct PagePick {
    const PageSet* pages = nullptr;  // none: every page
    bool held = true;

    bool Visits(uint32_t address) const { return !pages || pages->Contains(address >> 8) == held; }
    uint32_t CountIn(uint32_t start, uint32_t end) const;
};

class CPageLoop {
public:
    // How a run ended.
    enum class End {
        Completed,  // the page that holds `end` was done
        Cancelled,  // the user cancelled; noticed after a page's work
        Stopped,    // the work or the check of a page answered false
    };

    // One page: answers false to leave the loop after this page.
    using PageStep = std::function<bool(uint32_t address)>;

    struct Steps {
        PageStep work;         // the page's protocol work, before the bar moves
        uint32_t pauseMs = 0;  // after the cancel test; Cancel is taken during it too
        PageStep check;        // after the pause; none: no check
    };

    // `start` is the first byte of the first page, `end` the last byte of the
    // last page; pages run from start while address < end.
    CPageLoop(CLink& link, uint32_t start, uint32_t end, PagePick pick = {});
    // Closes the window if it is still open, so the parent is always given back.
    ~CPageLoop();
    CPageLoop(const CPageLoop&) = delete;
    CPageLoop& operator=(const CPageLoop&) = delete;

    // Opens the progress display (a window over the active window, bar
    // 0..BarHigh at position 0, in the dialog programs). False when it could
    // not be opened: the operation should end without traffic.
    bool Open(const std::string& message, const std::string& title);

    // For each page the pick visits: work; progress (bar to BarPos, pump messages); leave
    // when cancelled; pause (a Cancel during it leaves too); check. Without
    // an open display nothing runs (Stopped).
    End Run(const Steps& steps);

    // The page being worked on when the run ended (its last page after Completed).
    uint32_t LastAddress() const { return last_; }
    // Whether the last run ended because the user cancelled.
    bool Cancelled() const { return cancelled_; }

    // Closes the progress window; safe when it is gone already.
    void Close();

    // What a cancelled run of `op` came to: a stop signal's stop, or the
    // user's cancel.
    Outcome Interrupted(Operation op, Phase phase) const;

    // The bar's upper end for a range and its position after a page, in
    // units of 500 bytes, unsigned 32-bit arithmetic. The upper end reaches
    // the bar as a 16-bit unsigned value.
    static uint16_t BarHigh(uint32_t start, uint32_t end);
    static uint32_t BarPos(uint32_t start, uint32_t address);

private:
    // Sleeps `ms`; false when the user cancelled meanwhile.
    bool Pause(uint32_t ms);

    CLink& app_;
    uint32_t start_;
    uint32_t end_;
    PagePick pick_;
    uint32_t last_;
    bool cancelled_ = false;
    std::unique_ptr<CProgress> progress_;
};

}  // namespace kv
