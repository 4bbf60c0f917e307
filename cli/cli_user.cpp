#include "cli/cli_user.h"

#include <cstdio>

#include "cli/exit_codes.h"
#include "res/strings.h"

namespace kv::cli {

namespace {

constexpr uint32_t kDefaultStart = 0x0C0000;  // the address dialog's texts before any range was chosen
constexpr uint32_t kDefaultEnd = 0x0FFFFF;
constexpr uint32_t kPageSize = 256;

std::string Hex6(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(value));
    return text;
}

std::string Hex2(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value & 0xFF));
    return text;
}

// What a result of the message table means for the exit status.
int CodeFor(int messageId, Tone tone) {
    switch (messageId) {
        case IDS_ERASE_OK:
        case IDS_PROGRAM_OK:
        case IDS_BLANK_CHECK_OK:
        case IDS_READ_CHECK_OK:
        case IDS_DOWNLOAD_COMPLETED:
            return kExitOk;
        case IDS_NOT_BLANK:
        case IDS_NOT_MATCH:
            return kExitDifference;
        case IDS_TOO_SMALL_START:
        case IDS_ADDRESS_OUT_OF_RANGE:
        case IDS_TOO_HIGH_END:
        case IDS_TOO_LARGE_DOWNLOAD:
            return kExitUsage;
        case IDS_CANNOT_SET_9600:
        case IDS_CANNOT_SET_LAST_BAUD:
        case IDS_CANNOT_SET_NEW_BAUD:
        case IDS_CANNOT_COMMUNICATE:
            return kExitLink;
        case IDS_STOP_PROGRAMMING:  // a stop is never asked for here: whatever caused it failed the command
        case IDS_STOP_DOWNLOADING:
            return kExitDevice;
        case IDS_NOT_PASS_ID:
        case IDS_NOT_MATCH_ID:
            return kExitId;
        default:
            return tone == Tone::Plain || tone == Tone::Information ? kExitOk : kExitDevice;
    }
}

// Shows the page loops' progress with the printer; pages counted from the
// range, time from the link's clock.
class CCliProgress : public CProgress {
public:
    CCliProgress(CReportPrinter& printer, plat::IClock& clock, const CCliUser& user, const std::string& title,
                 uint32_t start, uint32_t end)
        : printer_(printer), clock_(clock), user_(user), start_(start),
          pages_(end > start ? (end - start) / kPageSize + 1 : 1), began_(clock.TickMs()) {
        printer_.ProgressStart(title, pages_);
    }
    ~CCliProgress() override { Close(); }

    bool Advance(uint32_t address) override {
        const uint32_t done = (address - start_) / kPageSize + 1;
        printer_.ProgressStep(done, pages_, clock_.TickMs() - began_);
        return Poll();
    }
    // Only a stop signal cancels a command line's page loop.
    bool Poll() override { return user_.StopSignal() != 0; }
    void Close() override {
        if (closed_) return;
        closed_ = true;
        printer_.ProgressEnd();
    }

private:
    CReportPrinter& printer_;
    plat::IClock& clock_;
    const CCliUser& user_;
    uint32_t start_;
    uint32_t pages_;
    uint32_t began_;
    bool closed_ = false;
};

}  // namespace

CCliUser::CCliUser(const Options& options, CReportPrinter& printer, plat::IClock& clock,
                   std::function<int()> stopSignal)
    : options_(options), printer_(printer), clock_(clock), stopSignal_(std::move(stopSignal)) {}

void CCliUser::BeginCommand(const Command* command) {
    command_ = command;
    code_ = kExitOk;
    text_.clear();
    fields_.clear();
    confirmation_.clear();
    lastRange_.reset();
}

void CCliUser::Fail(int code, const std::string& text, const Fields& fields) {
    if (code == kExitOk || code_ != kExitOk) return;  // the first failure is the one that tells
    code_ = code;
    text_ = text;
    fields_ = fields;
}

bool CCliUser::ChooseRange(uint32_t& start, uint32_t& end) {
    if (command_ && command_->range) {
        start = command_->range->first;
        end = command_->range->second;
    } else if (start == 0 && end == 0) {
        start = kDefaultStart;
        end = kDefaultEnd;
    }
    start &= ~uint32_t{0xFF};
    end |= 0xFF;
    return true;
}

bool CCliUser::ProgramInterval(int& ms) {
    ms = options_.interval;
    return true;
}

bool CCliUser::ConfirmProgram(uint32_t, uint32_t) { return true; }

bool CCliUser::ConfirmDownload() { return true; }

std::unique_ptr<CProgress> CCliUser::OpenProgress(const std::string&, const std::string& title, uint32_t start,
                                                  uint32_t end) {
    lastRange_ = std::make_pair(start, end);
    return std::make_unique<CCliProgress>(printer_, clock_, *this, title, start, end);
}

bool CCliUser::RetryLostLink(bool timedOut) {
    linkLost_ = true;
    if (channel_) channel_->Close();
    Fail(kExitLink, timedOut ? "no reply from the chip (time-out)" : "communication error: the reply was wrong");
    return false;
}

// Never asked: a lost reply gives the link up before the rate is chosen anew.
bool CCliUser::ChooseCommState(uint32_t&, uint8_t&, uint8_t&, uint8_t&) { return false; }

void CCliUser::Report(const Outcome& outcome) {
    if (StopSignal() != 0) return;  // the stop tells for itself
    const int code = CodeFor(outcome.messageId, outcome.tone);
    std::string text = LoadString(options_.mode == Mode::Lite ? Edition::Kelvlite : Edition::Kelvane,
                                  outcome.messageId);
    Fields fields;
    if (outcome.hasAddress) {
        const bool blank = outcome.messageId == IDS_NOT_BLANK;
        text = (blank ? "not blank at " : "difference at ") + Hex6(outcome.address);
        if (outcome.expected >= 0) text += ": expected " + Hex2(outcome.expected);
        if (outcome.read >= 0) text += ", read " + Hex2(outcome.read);
        fields = {{"address", Hex6(outcome.address)}};
        if (outcome.expected >= 0) fields.emplace_back("expected", Hex2(outcome.expected));
        if (outcome.read >= 0) fields.emplace_back("read", Hex2(outcome.read));
    }
    if (code == kExitOk)
        confirmation_ = text;
    else
        Fail(code, text, fields);
}

void CCliUser::ShowStatus(uint8_t srd, uint8_t srd1) { status_ = std::make_pair(srd, srd1); }

void CCliUser::ShowVersion(const std::string& text) { version_ = text; }

void CCliUser::Trace(const std::string& text) {
    if (options_.verbose) printer_.Trace(text);
}

}  // namespace kv::cli
