#pragma once
// The phases of the combined sequences (erase-program-read and
// blank-program-read): blank check, programming and read-back over one range,
// each under its own progress window. They run the page loops of the single
// operations with the stop rules and reports of the combined sequences; the
// sequence decides what follows each phase.
#include <cstdint>
#include <functional>
#include <string>

namespace kv {

class CCheckMemorryCmd;
class CLink;

class CSequencePhases {
public:
    // How a phase ended.
    enum class End {
        Completed,
        Cancelled,  // the user cancelled; the window is gone
        Failed,     // a byte that is not blank or does not match, or a program error
        LinkLost,   // no reply or no acknowledgement: the recovery has run
        NoWindow,   // the progress window could not be opened; nothing was sent
    };

    // `cmd` is the running operation; start..end are whole pages.
    CSequencePhases(CLink& app, CCheckMemorryCmd& cmd, uint32_t start, uint32_t end);

    // Reads every page and stops at the first byte that is not 0xFF, which
    // it names. `purge` empties the input before each page read.
    End Blank(bool purge);

    // Clear status, then one page frame per page with the program interval
    // and a status check after each; LinkLost when a reply or an
    // acknowledgement was lost (the recovery has run). Cancel shows "Stop programming."; a
    // program error shows "Program error." when `reportProgramError`. The
    // read time-out is 150 ms during the loop and 5000 ms afterwards.
    End Program(uint32_t intervalMs, bool reportProgramError);

    // Reads every page back and stops at the first byte that differs from
    // the image, which it names. kelvlite does not compare bytes that are
    // 0xFF in the image.
    End ReadBack(bool purge);

    // The closing status check: "Program error." or "Program OK.", 1 when
    // OK. `programFailed`: the programming phase stopped at a page, which
    // is an error whatever the register shows.
    int FinalCheck(bool programFailed);

    // "Program next area." over the range; Cancel shows "Stop programming."
    // and answers 0.
    int ConfirmRange();

    // kelvlite's closing phases: programming with its error report, the
    // read-back (a Cancel there goes on) and the status check, which a
    // Cancel while programming leaves out. A lost reply while programming
    // ends the run after the recovery. Answers FinalCheck's result or 0.
    int ProgramReadBackCheck(uint32_t intervalMs);

    // The program interval the user has chosen; 0 when there is none.
    static int ProgramInterval(CLink& app, uint32_t& ms);

private:
    // Names the first fault in a page that was read back and answers false there.
    using PageCompare = std::function<bool(uint32_t address, const uint8_t* readBack)>;

    // The loop of Blank and ReadBack: every page read under its own progress
    // window and handed to `compare`.
    End ReadPages(const std::string& message, const std::string& title, bool purge, const PageCompare& compare);
    void ReportNotBlank(uint32_t address, uint8_t read);
    void ReportNotMatch(uint32_t address, uint8_t expected, uint8_t read);
    uint32_t BetweenPagesMs() const;

    CLink& app_;
    CCheckMemorryCmd& cmd_;
    uint32_t start_;
    uint32_t end_;
};

}  // namespace kv
