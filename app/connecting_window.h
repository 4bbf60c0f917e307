#pragma once
// The small window "Connecting to <port>..." with Cancel, on the screen
// while the link starts on an open port, so that the wait is seen. Cancel
// ends the run: the start-up stops at its next step.
#include <string>

namespace kv {

class CKelvixApp;
class CProgressDlg;

class CConnectingWindow {
public:
    // Shows nothing where the front end shows no windows for waits.
    CConnectingWindow(CKelvixApp& app, const std::string& port);
    ~CConnectingWindow();
    CConnectingWindow(const CConnectingWindow&) = delete;
    CConnectingWindow& operator=(const CConnectingWindow&) = delete;

private:
    int cancelFlag_ = 0;
    CProgressDlg* window_ = nullptr;  // deletes itself on Cancel (then the flag is 1)
};

}  // namespace kv
