#pragma once
// kelvane-cli's answers to the link's questions: taken from the arguments,
// never asked. It gathers the result of the command that runs and gives up
// when a reply is lost (the board is not there to be reset by hand).
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

    // The worst thing that happened in the command so far (0: nothing), with
    // the text that says what.
    int Code() const { return code_; }
    const std::string& Text() const { return text_; }
    const Fields& ResultFields() const { return fields_; }
    // Records a failure found outside the link (the worse one stays).
    void Fail(int code, const std::string& text, const Fields& fields = {});
    // The last success message of the command ("Program OK."); empty when none.
    const std::string& Confirmation() const { return confirmation_; }
    // A reply was lost at some point of the run: the chip is not to be
    // asked anything more.
    bool LinkLost() const { return linkLost_; }
    // The range the last page loop ran over.
    std::optional<std::pair<uint32_t, uint32_t>> LastRange() const { return lastRange_; }

    // The status and version shown on request.
    std::optional<std::pair<uint8_t, uint8_t>> Status() const { return status_; }
    const std::string& Version() const { return version_; }

    bool ChooseRange(uint32_t& start, uint32_t& end) override;
    bool ProgramInterval(int& ms) override;
    bool ConfirmProgram(uint32_t start, uint32_t end) override;
    bool ConfirmDownload() override;
    std::unique_ptr<CProgress> OpenProgress(const std::string& message, const std::string& title, uint32_t start,
                                            uint32_t end) override;
    bool RetryLostLink(bool timedOut) override;
    bool ChooseCommState(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) override;
    void Waiting(bool) override {}
    bool Ending() override { return linkLost_ || StopSignal() != 0; }
    // The stop signal received so far, 0 when none.
    int StopSignal() const { return stopSignal_ ? stopSignal_() : 0; }
    void Report(const Outcome& outcome) override;
    void ShowStatus(uint8_t srd, uint8_t srd1) override;
    void ShowVersion(const std::string& text) override;
    void Trace(const std::string& text) override;

private:
    const Options& options_;
    CReportPrinter& printer_;
    plat::IClock& clock_;
    std::function<int()> stopSignal_;
    CSerialComm* channel_ = nullptr;
    const Command* command_ = nullptr;
    int code_ = 0;
    std::string text_;
    Fields fields_;
    std::string confirmation_;
    bool linkLost_ = false;
    std::optional<std::pair<uint32_t, uint32_t>> lastRange_;
    std::optional<std::pair<uint8_t, uint8_t>> status_;
    std::string version_;
};

}  // namespace kv::cli
