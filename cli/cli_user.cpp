#include "cli/cli_user.h"

#include "cli/traced_device.h"
#include "link/protocol.h"

#include <cstdio>

namespace kv::cli {

namespace {

constexpr uint32_t kDefaultStart = 0x0C0000;  // the address dialog's texts before any range was chosen
constexpr uint32_t kDefaultEnd = 0x0FFFFF;

// Shows the page loops' progress with the printer; pages counted from the
// range, time from the link's clock.
class CCliProgress : public CProgress {
public:
    CCliProgress(CReportPrinter& printer, plat::IClock& clock, const CCliUser& user, const std::string& title,
                 uint32_t start, uint32_t end, uint32_t& visited)
        : printer_(printer),
          clock_(clock),
          user_(user),
          title_(title),
          visited_(visited),
          pages_(end > start ? (end - start) / kPageSize + 1 : 1),
          began_(clock.TickMs()) {
        visited_ = pages_;
    }
    ~CCliProgress() override { Close(); }

    bool Advance(uint32_t) override {
        Start();
        printer_.ProgressStep(++done_, pages_, clock_.TickMs() - began_);
        return Poll();
    }
    void Visits(uint32_t pages) override {
        pages_ = pages;
        visited_ = pages;
    }
    // Only a stop signal cancels a command line's page loop.
    bool Poll() override { return user_.StopSignal() != 0; }
    void Close() override {
        if (closed_) return;
        closed_ = true;
        Start();
        printer_.ProgressEnd();
    }

private:
    // The display begins with the first page, once the loop has told how
    // many pages it visits.
    void Start() {
        if (started_) return;
        started_ = true;
        printer_.ProgressStart(title_, pages_);
    }

    CReportPrinter& printer_;
    plat::IClock& clock_;
    const CCliUser& user_;
    std::string title_;
    uint32_t& visited_;
    uint32_t pages_;
    uint32_t done_ = 0;
    uint32_t began_;
    bool started_ = false;
    bool closed_ = false;
};

}  // namespace

CCliUser::CCliUser(const Options& options, CReportPrinter& printer, plat::IClock& clock,
                   std::function<int()> stopSignal)
    : options_(options), printer_(printer), clock_(clock), stopSignal_(std::move(stopSignal)), began_(clock.TickMs()) {}

void CCliUser::BeginCommand(const Command* command) {
    command_ = command;
    lastRange_.reset();
    lastPages_ = 0;
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
    return std::make_unique<CCliProgress>(printer_, clock_, *this, title, start, end, lastPages_);
}

bool CCliUser::RetryLostLink(bool timedOut) {
    if (!linkLost_) {
        const std::string gone = channel_ ? channel_->GoneReason() : "";
        if (!gone.empty())
            lostText_ = "the port " + options_.port + " went away (" + gone + ")";
        else
            lostText_ = timedOut ? "no reply from the chip (time-out)" : "communication error: the reply was wrong";
    }
    if (channel_ && !linkLost_) {
        CSerialCommState state;
        if (channel_->GetState(state)) lostAtRate_ = state.m_nBaudRate;
    }
    linkLost_ = true;
    if (channel_) channel_->Close();
    return false;
}

// Never asked: a lost reply gives the link up before the rate is chosen anew.
bool CCliUser::ChooseCommState(uint32_t&, uint8_t&, uint8_t&, uint8_t&) { return false; }

// The commands' outcomes come back from the operations; what is kept here
// are the failed steps of the link, which end the run where they arise.
void CCliUser::Report(const Outcome& outcome) {
    if (outcome.op == Operation::Link && !outcome.Ok() && !linkFailure_) linkFailure_ = outcome;
}

// The link's own lines (" old ") are stamped like the serial traffic
// beside them, one stamp per line; none is printed unless -v asked.
void CCliUser::Trace(const std::string& text) {
    if (!options_.verbose) return;
    const std::string stamp = TraceStamp(clock_.TickMs() - began_);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        while (!line.empty() && line.front() == ' ') line.erase(0, 1);
        if (!line.empty()) printer_.Trace(stamp + line);
        at = end + 1;
    }
}

}  // namespace kv::cli
