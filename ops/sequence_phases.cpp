#include "ops/sequence_phases.h"

#include <cstdio>

#include "link/check_memory_cmd.h"
#include "link/link.h"
#include "ops/page_loop.h"
#include "ops/program_cmd.h"
#include "ops/check_report.h"
#include "ops/read_cmd.h"
#include "res/strings.h"

namespace kv {

namespace {
constexpr uint32_t kAfterCommandMs = 50;
constexpr uint32_t kPageStatusTimeoutMs = 150;
constexpr uint32_t kRestingTimeoutMs = 5000;
constexpr uint32_t kBetweenPagesMs = 10;  // kelvane paces its page requests
constexpr uint8_t kBlank = 0xFF;
}  // namespace

CSequencePhases::CSequencePhases(CLink& app, CCheckMemorryCmd& cmd, uint32_t start, uint32_t end)
    : app_(app), cmd_(cmd), start_(start), end_(end) {}

int CSequencePhases::ProgramInterval(CLink& app, uint32_t& ms) {
    int interval = 0;
    if (!app.User().ProgramInterval(interval)) return 0;
    ms = interval > 0 ? static_cast<uint32_t>(interval) : 0;
    return 1;
}

uint32_t CSequencePhases::BetweenPagesMs() const { return app_.IsLite() ? 0 : kBetweenPagesMs; }

void CSequencePhases::ReportNotBlank(uint32_t address, uint8_t read) {
    if (!app_.IsLite()) {
        app_.User().Report(NotBlankAt(app_.String(IDS_NOT_BLANK) + CCheckMemorryCmd::ToHex6(address), address, read));
        return;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Find Not Blank Data at Address : %06xh \n\n RomData : %03xh",
                  static_cast<unsigned>(address), static_cast<unsigned>(read));
    app_.User().Report(NotBlankAt(text, address, read));
}

void CSequencePhases::ReportNotMatch(uint32_t address, uint8_t expected, uint8_t read) {
    if (!app_.IsLite()) {
        app_.User().Report(
            NotMatchAt(app_.String(IDS_NOT_MATCH) + CCheckMemorryCmd::ToHex6(address), address, expected, read));
        return;
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "Find Not Match Data at Address : %06xh \n\n MotData : %03xh \n RomData : %03xh",
                  static_cast<unsigned>(address), static_cast<unsigned>(expected), static_cast<unsigned>(read));
    app_.User().Report(NotMatchAt(text, address, expected, read));
}

CSequencePhases::End CSequencePhases::ReadPages(const std::string& message, const std::string& title, bool purge,
                                                const PageCompare& compare) {
    CPageLoop loop(app_, start_, end_);
    if (!loop.Open(message, title)) return End::NoWindow;
    CSerialComm& channel = app_.Channel();
    uint8_t readBack[kPageSize];
    End failure = End::Completed;
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        if (purge) channel.Purge();
        if (!cmd_.ReadPage(channel, readBack, address)) {
            failure = End::LinkLost;
            return false;
        }
        if (compare(address, readBack)) return true;
        failure = End::Failed;
        return false;
    };
    steps.pauseMs = BetweenPagesMs();
    const CPageLoop::End how = loop.Run(steps);
    loop.Close();
    if (how == CPageLoop::End::Cancelled) return End::Cancelled;
    return how == CPageLoop::End::Completed ? End::Completed : failure;
}

CSequencePhases::End CSequencePhases::Blank(bool purge) {
    return ReadPages("Blank check.", "Blank Check", purge, [&](uint32_t address, const uint8_t* readBack) {
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (readBack[i] != kBlank) {
                ReportNotBlank(address + i, readBack[i]);
                return false;
            }
        }
        return true;
    });
}

CSequencePhases::End CSequencePhases::Program(uint32_t intervalMs, bool reportProgramError) {
    CSerialComm& channel = app_.Channel();
    CProgramCmd pages(app_);
    if (!pages.ClearStatus()) return End::LinkLost;
    app_.Sleep(kAfterCommandMs);

    CPageLoop loop(app_, start_, end_);
    if (!loop.Open("Program.", "Program")) return End::NoWindow;
    channel.SetTimeout(kPageStatusTimeoutMs);
    End failure = End::Completed;
    CPageLoop::Steps steps;
    steps.work = [&](uint32_t address) {
        if (pages.SendPage(address)) return true;
        failure = End::LinkLost;  // no acknowledgement; the recovery has run
        return false;
    };
    steps.pauseMs = intervalMs;
    steps.check = [&](uint32_t) {
        switch (cmd_.CheckStatus(channel, "program")) {
            case StatusCheck::Ok: return true;
            case StatusCheck::Error: failure = End::Failed; break;
            case StatusCheck::LinkLost: failure = End::LinkLost; break;
        }
        return false;
    };
    const CPageLoop::End how = loop.Run(steps);
    End result = how == CPageLoop::End::Completed ? End::Completed : failure;
    if (how == CPageLoop::End::Cancelled) {
        app_.Report(IDS_STOP_PROGRAMMING, Tone::Information);
        result = End::Cancelled;
    } else if (result == End::Failed && reportProgramError) {
        app_.Report(IDS_PROGRAM_ERROR, Tone::Fault);
    }
    loop.Close();
    channel.SetTimeout(kRestingTimeoutMs);
    return result;
}

CSequencePhases::End CSequencePhases::ReadBack(bool purge) {
    CReadCmd image(app_);
    const bool blankMatchesAll = app_.IsLite();
    uint8_t expected[kPageSize];
    return ReadPages("Read check.", "Read check.", purge, [&](uint32_t address, const uint8_t* readBack) {
        image.ExpectedPage(address, expected);
        for (uint32_t i = 0; i < kPageSize; ++i) {
            if (blankMatchesAll && expected[i] == kBlank) continue;
            if (expected[i] != readBack[i]) {
                ReportNotMatch(address + i, expected[i], readBack[i]);
                return false;
            }
        }
        return true;
    });
}

int CSequencePhases::ConfirmRange() {
    if (app_.User().ConfirmProgram(start_, end_)) return 1;
    app_.Report(IDS_STOP_PROGRAMMING, Tone::Plain);
    return 0;
}

int CSequencePhases::ProgramReadBackCheck(uint32_t intervalMs) {
    const End program = Program(intervalMs, true);
    // After a lost reply the recovery has reset the chip: nothing that
    // follows could vouch for the pages that were not sent.
    if (program == End::NoWindow || program == End::LinkLost) return 0;
    const End read = ReadBack(true);
    if (read != End::Completed && read != End::Cancelled) return 0;
    if (program == End::Cancelled) return 0;
    return FinalCheck(program == End::Failed);
}

int CSequencePhases::FinalCheck(bool programFailed) {
    app_.Channel().SetTimeout(kRestingTimeoutMs);
    // A programming phase that stopped at a page is an error, whatever the
    // register shows by now.
    if (cmd_.CheckStatusError(app_.Channel(), "program") || programFailed) {
        app_.Report(IDS_PROGRAM_ERROR, Tone::Fault);
        return 0;
    }
    app_.Report(IDS_PROGRAM_OK, Tone::Information);
    return 1;
}

}  // namespace kv
