// The dialog programs' answers to the link's questions: today's dialogs,
// progress window and message boxes.
#include "app/dialogs/download_dlg.h"
#include "app/dialogs/first_set_dlg.h"
#include "app/dialogs/pre_write_dlg.h"
#include "app/dialogs/progress_dlg.h"
#include "app/dialogs/set_address_dlg.h"
#include "app/dialogs/set_comm_dlg.h"
#include "app/dialogs/states_dlg.h"
#include "app/dialogs/version_dlg.h"
#include "app/kelvix_app.h"
#include "app/outcome_messages.h"
#include "link/check_memory_cmd.h"
#include "ops/page_loop.h"
#include "res/strings.h"

namespace kv {

namespace {

// The progress message of the program page loop.
constexpr const char* kProgramMessage = "Program.";

// The modeless progress window with its cancel flag. The window deletes
// itself when it is cancelled; the flag tells.
class CWindowProgress : public CProgress {
public:
    CWindowProgress(CKelvixApp& app, uint32_t start) : app_(app), start_(start) {}
    ~CWindowProgress() override { Close(); }

    bool Open(const std::string& message, const std::string& title, uint32_t end) {
        cancelFlag_ = 0;
        window_ = CProgressDlg::Open(app_, &cancelFlag_);
        if (!window_) return false;
        window_->Prepare(message, title, 0, CPageLoop::BarHigh(start_, end), 0);
        app_.ProgressShown(this, message == kProgramMessage);
        return true;
    }

    bool Advance(uint32_t address) override {
        if (!window_) return false;
        // The window is gone once the user cancelled; SetPos then does nothing.
        if (!cancelFlag_) {
            window_->SetAddress(address);
            window_->SetPos(CPageLoop::BarPos(start_, address));
        }
        return Poll();
    }

    bool Poll() override {
        if (!window_) return false;
        // A Cancel taken during the page's wait has given the panel back
        // already: no pump then, which could start the panel's next work
        // inside this loop.
        if (!cancelFlag_) PumpPendingMessages(app_.Ui());
        if (!cancelFlag_) return false;
        window_ = nullptr;  // it has destroyed itself
        app_.ProgressGone(this);
        return true;
    }

    void Close() override {
        // The flag is 1 exactly when the window has destroyed itself.
        if (window_ && !cancelFlag_) window_->Close();
        window_ = nullptr;
        app_.ProgressGone(this);
    }

private:
    CKelvixApp& app_;
    uint32_t start_;
    int cancelFlag_ = 0;
    CProgressDlg* window_ = nullptr;
};

}  // namespace

bool CKelvixApp::ChooseRange(uint32_t& start, uint32_t& end) {
    CSetAddressDlg dlg(*this);
    if (start != 0 || end != 0) dlg.SetTexts(CCheckMemorryCmd::ToHex6(start), CCheckMemorryCmd::ToHex6(end));
    if (dlg.DoModal() != tk::IDOK) return false;

    std::string startText;
    std::string endText;
    const bool haveStart = dlg.GetText("start", startText);
    const bool haveEnd = dlg.GetText("end", endText);
    if (!haveStart || !haveEnd) return false;

    start = CCheckMemorryCmd::HexToInt(startText) & ~uint32_t{0xFF};
    end = CCheckMemorryCmd::HexToInt(endText) | 0xFF;
    return true;
}

bool CKelvixApp::ProgramInterval(int& ms) { return CSetCommDlg(*this).GetInterval(ms) != 0; }

bool CKelvixApp::ConfirmProgram(uint32_t start, uint32_t end) {
    CPreWriteDlg confirm(*this);
    confirm.SetAddresses(start, end);
    return confirm.DoModal() != tk::IDCANCEL;
}

bool CKelvixApp::ConfirmDownload() {
    CDownloadDlg confirm(*this);
    return confirm.DoModal() != tk::IDCANCEL;
}

std::unique_ptr<CProgress> CKelvixApp::OpenProgress(const std::string& message, const std::string& title,
                                                    uint32_t start, uint32_t end) {
    auto progress = std::make_unique<CWindowProgress>(*this, start);
    if (!progress->Open(message, title, end)) return nullptr;
    return progress;
}

void CKelvixApp::ProgressShown(CProgress* progress, bool programming) {
    shownProgress_ = progress;
    shownProgressPrograms_ = programming;
}

void CKelvixApp::ProgressGone(const CProgress* progress) {
    if (shownProgress_ == progress) shownProgress_ = nullptr;
}

bool CKelvixApp::RetryLostLink(bool timedOut) {
    std::string text = String(timedOut ? IDS_TIMEOUT : IDS_COMM_ERROR);
    // With several adapters plugged in, the user must know which board to reset.
    if (const std::string& port = Channel().PortName(); !port.empty()) {
        std::string line = String(IDS_ON_PORT);
        line.replace(line.find("%s"), 2, port);
        text.append("\n").append(line);
    }
    // The progress window goes first: the recovery that follows is no page.
    if (shownProgress_) {
        if (shownProgressPrograms_) text.append("\n").append(String(IDS_PARTLY_PROGRAMMED));
        shownProgress_->Close();
    }
    if (MessageText(text, tk::Icon::Stop, tk::Buttons::OkCancel) == tk::IDOK) return true;
    Lock().Release();
    Channel().Close();
    Ui().Quit(0);
    return false;
}

bool CKelvixApp::ChooseCommState(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) {
    CSetCommDlg dlg(*this);
    dlg.SetValues(baud, byteSize, stopBits, parity);
    if (dlg.DoModal() != tk::IDOK) return false;
    dlg.GetValues(baud, byteSize, stopBits, parity);  // an empty rate keeps the preset
    return true;
}

void CKelvixApp::Waiting(bool on) {
    if (on)
        Ui().BeginWaitCursor();
    else
        Ui().EndWaitCursor();
}

bool CKelvixApp::Ending() { return Ui().QuitRequested(); }

bool CKelvixApp::SetCommStateFirst() {
    CFirstSetDlg dlg(*this);
    return dlg.DoModal() == tk::IDOK;
}

bool CKelvixApp::StopRequested() { return Ui().StopSignal() != 0; }

void CKelvixApp::Report(const Outcome& outcome) {
    if (const auto message = MessageFor(edition(), outcome)) MessageText(message->text, message->icon);
}

void CKelvixApp::ShowStatus(uint8_t srd, uint8_t srd1) {
    CStatesDlg dlg(*this);
    dlg.SetStatus(srd, srd1);
    dlg.DoModal();
}

void CKelvixApp::ShowVersion(const std::string& text) {
    CVersionDlg dlg(*this);
    dlg.SetVersionText(text);
    dlg.DoModal();
}

void CKelvixApp::Trace(const std::string& text) { Ui().Trace(text); }

}  // namespace kv
