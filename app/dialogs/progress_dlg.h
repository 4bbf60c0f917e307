#pragma once
// The modeless progress window of the page loops: a bar, a message line and
// Cancel. It owns itself: created on the heap by Open, it deletes itself once
// its window is gone. While it is open its parent (the main panel) is
// disabled, so no second operation can start.
#include <cstdint>
#include <functional>
#include <string>

#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CProgressDlg : public tk::Dialog {
public:
    enum { IDC_PROGRESS = 1020, IDC_MESSAGE = 1021 };

    // Opens the window for `cancelFlag` (set to 1 when the window is
    // cancelled or closed; the caller sets it to 0 before). The parent is
    // `parent` or, when none is given, the front end's active window. Answers
    // none when no flag is given or the window could not be shown.
    static CProgressDlg* Open(CKelvixApp& app, int* cancelFlag, tk::Dialog* parent = nullptr);

    // Message line, window title, bar range and position. The bar takes
    // 16-bit unsigned range ends: a whole 24-bit address space in 500-byte
    // units (33554) still fits.
    void Prepare(const std::string& message, const std::string& title, uint16_t low, uint16_t high, uint32_t pos);
    // Moves the bar; nothing once the window is gone.
    void SetPos(uint32_t pos);
    // The address of the page in hand, shown with the bar's figure ("0C2300").
    void SetAddress(uint32_t address);
    // Runs once the user has cancelled, after the window is gone.
    void SetCancelAction(std::function<void()> action) { m_onCancel = std::move(action); }
    // Does what Cancel does (all but the cancel action), when the window
    // still exists. The object may be
    // gone afterwards: do not use the pointer again.
    void Close();

protected:
    void DoDataExchange(tk::DataExchange& dx) override;
    void OnOK() override;      // Enter does nothing
    void OnCancel() override;  // sets the flag, gives the parent back, destroys the window
    void PostNcDestroy() override;

private:
    CProgressDlg(CKelvixApp& app, int* cancelFlag);

    std::string m_strMessage = "Message";
    tk::Dialog* m_pParent = nullptr;
    bool m_bParentEnabled = false;
    int* m_pCancelFlag;
    std::function<void()> m_onCancel;
};

// Dispatches the window messages that are waiting (Cancel, painting) without
// waiting for more. A quit request stays pending and stops the pumping;
// answers false then.
bool PumpPendingMessages(tk::Ui& ui);

}  // namespace kv
