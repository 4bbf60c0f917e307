#pragma once
// kelvane-cli's answers to the link's questions: taken from the arguments,
// never asked. It gives up when a reply is lost (the board is not there to
// be reset by hand) and keeps what the run's report needs.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "cli/report_printer.h"
#include "link/link_user.h"
#include "link/serial_comm.h"
#include "platform/clock.h"

namespace kv::cli {

class CCliUser : public CLinkUser {
public:
    CCliUser(const Options& options, CReportPrinter& printer, plat::IClock& clock,
             std::function<int()> stopSignal = {});

    // The channel to close when a reply is lost, so that nothing of the run
    // waits for the chip again.
    void Attach(CSerialComm& channel) { channel_ = &channel; }

    // A new command begins; its range (if any) answers the range question.
    void BeginCommand(const Command* command);

    // A reply was lost at some point of the run: the chip is not to be
    // asked anything more. `LostText` says how it was lost.
    bool LinkLost() const { return linkLost_; }
    const std::string& LostText() const { return lostText_; }
    // The rate the port ran at when the reply was lost (0: not known).
    uint32_t LostAtRate() const { return lostAtRate_; }
    // The link is to be brought up afresh: the loss and the failed steps are forgotten.
    void ForgetLinkLoss() {
        linkLost_ = false;
        lostText_.clear();
        lostAtRate_ = 0;
        linkFailure_.reset();
    }
    // The first step of the link (bring-up, return to 9600 bps) that failed.
    const std::optional<Outcome>& LinkFailure() const { return linkFailure_; }
    // The range the last page loop ran over.
    std::optional<std::pair<uint32_t, uint32_t>> LastRange() const { return lastRange_; }
    // The pages of that range the loop visited.
    uint32_t LastPages() const { return lastPages_; }

    bool ChooseRange(uint32_t& start, uint32_t& end) override;
    bool ProgramInterval(int& ms) override;
    bool ConfirmProgram(uint32_t start, uint32_t end) override;
    bool ConfirmDownload() override;
    std::unique_ptr<CProgress> OpenProgress(const std::string& message, const std::string& title, uint32_t start,
                                            uint32_t end) override;
    bool RetryLostLink(bool timedOut) override;
    bool ChooseCommState(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) override;
    void Waiting(bool) override {}
    bool SetCommStateFirst() override { return false; }
    bool Ending() override { return linkLost_ || linkFailure_ || StopSignal() != 0; }
    bool StopRequested() override { return StopSignal() != 0; }
    // The stop signal received so far, 0 when none.
    int StopSignal() const { return stopSignal_ ? stopSignal_() : 0; }
    void Report(const Outcome& outcome) override;
    void ShowStatus(uint8_t, uint8_t) override {}
    void ShowVersion(const std::string&) override {}
    void Trace(const std::string& text) override;

private:
    const Options& options_;
    CReportPrinter& printer_;
    plat::IClock& clock_;
    std::function<int()> stopSignal_;
    uint32_t began_;  // the run's start, for the trace stamps
    CSerialComm* channel_ = nullptr;
    const Command* command_ = nullptr;
    bool linkLost_ = false;
    std::string lostText_;
    uint32_t lostAtRate_ = 0;
    std::optional<Outcome> linkFailure_;
    std::optional<std::pair<uint32_t, uint32_t>> lastRange_;
    uint32_t lastPages_ = 0;
};

}  // namespace kv::cli
