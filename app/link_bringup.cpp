// Bringing the link up at start-up: open the port, wake the boot loader,
// return to the last rate that worked.
#include "app/kelvix_app.h"
#include "app/startup.h"
#include "image/first_set_dlg.h"
#include "image/save_ini.h"
#include "link/command.h"
#include "link/setting_cmd.h"
#include "res/strings.h"

namespace kv::startup {

namespace {
constexpr uint32_t kRestingTimeoutMs = 5000;
constexpr uint32_t kAfterSyncMs = 1000;
constexpr uint8_t kCode9600 = 0xB0;
constexpr uint8_t kSequencerReady = 0x11;
}  // namespace

bool Quitting(CKelvixApp& app) { return app.Ui().QuitRequested(); }

bool TakeLock(CKelvixApp& app, const std::string& name) {
    if (app.Lock().Acquire(name)) return true;
    app.Message(IDS_ALREADY_RUNNING, tk::Icon::Stop);
    return false;
}

bool OpenChannel(CKelvixApp& app, const std::string& port) {
    if (!app.Channel().Open(port)) {
        // Nothing could reach the board: telling the user why beats a
        // "Push RESET." that no reset can answer.
        std::string why = app.Channel().OpenError();
        if (why.empty()) why = "The port is missing, in use or refused.";
        app.MessageText("Can not open the port " + port + ".\n" + why, tk::Icon::Stop);
        return false;
    }
    app.ApplyLineSettings(9600, 8, 0, 0);
    app.Channel().SetTimeout(kRestingTimeoutMs);
    return true;
}

bool SynchroniseWithRecovery(CKelvixApp& app) {
    app.SendSyncSequence();
    // One recovery for a lost reply: after it the link has been woken and
    // set afresh, and the sequencer's ready byte is no longer to come.
    const bool answered = app.ExpectByte(kCode9600) && (!app.IsLite() || app.ExpectByte(kSequencerReady));
    return answered || app.RecoverLink() != 0;
}

CommState RestoreStoredState(CKelvixApp& app) {
    app.Sleep(kAfterSyncMs);
    app.Channel().Purge();
    CommState state;
    CSaveIni ini(app);
    if (!ini.ReadCommState()) return state;
    ini.GetCommState(state.baud, state.byteSize, state.stopBits, state.parity);
    const uint32_t rate =
        app.RestoreBaudRate(state.baud, state.byteSize, state.stopBits, state.parity, IDS_CANNOT_SET_LAST_BAUD);
    if (rate != 0) {
        state.baud = rate;
    } else {
        // The recovery ran and its setting did not succeed: whatever the port
        // runs at now is the rate in force, never 0.
        CSerialCommState port;
        app.Channel().GetState(port);
        state.baud = port.m_nBaudRate != 0 ? port.m_nBaudRate : 9600;
    }
    return state;
}

void WriteCommState(CKelvixApp& app, const CommState& state) {
    CSaveIni ini(app);
    ini.SetCommState(state.baud, state.byteSize, state.stopBits, state.parity);
    ini.WriteCommState();
}

void AskForCommState(CKelvixApp& app) {
    app.linkReady = 0;
    app.Channel().Purge();
    CFirstSetDlg dlg(app);
    if (dlg.DoModal() == tk::IDOK) {
        CSettingCmd setting(app);
        setting.Run();
    } else if (!Quitting(app)) {
        app.Message(IDS_CANNOT_COMMUNICATE_OUTSIDE, tk::Icon::Stop);
    }
}

}  // namespace kv::startup
