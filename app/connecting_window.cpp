#include "app/connecting_window.h"

#include "app/dialogs/progress_dlg.h"
#include "app/kelvix_app.h"
#include "app/startup.h"
#include "res/strings.h"

namespace kv {

CConnectingWindow::CConnectingWindow(CKelvixApp& app, const std::string& port) {
    if (!app.Ui().ShowsWaitWindows()) return;
    window_ = CProgressDlg::Open(app, &cancelFlag_);
    if (!window_) return;
    std::string text = app.String(IDS_CONNECTING);
    if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, port);
    // An empty range: the bar shows that something goes on, not how far.
    window_->Prepare(text, app.String(IDS_TITLE), 0, 0, 0);
    window_->SetCancelAction([&app] { app.Ui().Quit(startup::kExitDone); });
}

CConnectingWindow::~CConnectingWindow() {
    if (window_ && !cancelFlag_) window_->Close();
}

}  // namespace kv
