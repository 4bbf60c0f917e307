#pragma once
// "Set baudrate": the baud rate for the link and the program interval (the
// pause after each page frame, kept for the run only).
#include <cstdint>
#include <string>

#include "link/link_user.h"
#include "toolkit/dialog.h"

namespace kv {

class CKelvixApp;

class CSetCommDlg : public tk::Dialog {
public:
    enum { IDC_BAUD_RATE = 1020, IDC_PROGRAM_INTERVAL = 1044 };

    explicit CSetCommDlg(CKelvixApp& app);

    // Presets the baud rate text; the other values are carried by the caller.
    void SetValues(uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity);
    // 0 with all outputs unchanged when the baud rate text is empty; else the
    // text's leading decimal number (0 when it starts with no digit) and 1.
    // Only the baud rate can change.
    int GetValues(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) const;
    // 0 with ms unchanged when the interval text is empty; else its leading
    // decimal number and 1.
    int GetInterval(int& ms) const;

    const std::string& BaudText() const { return m_strBaud; }
    const std::string& IntervalText() const { return m_strInterval; }

protected:
    void DoDataExchange(tk::DataExchange& dx) override;
    void OnOK() override;

private:
    CKelvixApp& app_;
    std::string m_strBaud;
    std::string m_strInterval;
};

// The leading decimal number of a text after any blanks; 0 when none. Too
// large a number saturates instead of wrapping.
uint32_t LeadingNumber(const std::string& text);

}  // namespace kv
