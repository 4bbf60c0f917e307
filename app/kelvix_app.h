#pragma once
// The application object of the dialog programs: the one link of the run,
// the lock and the front end. It answers the link's questions with the
// dialogs and the message table.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/edition.h"
#include "image/mot_file.h"
#include "link/link.h"
#include "link/save_ini.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "toolkit/ui.h"

namespace kv {

// The platform services and front end one program run uses.
struct AppServices {
    plat::IClock& clock;
    plat::IProfile& profile;  // the settings file
    plat::IInstanceLock& lock;
    plat::IProcess& process;
    tk::Ui& ui;
};

// The settings file as the link reads it; a base of its own, so that it is
// built before the link that uses it.
struct CKelvixSettings {
    CKelvixSettings(plat::IProfile& profile, const TraceLine& trace)
        : settingsTrace(trace), linkSettings(profile, trace) {}
    TraceLine settingsTrace;
    CIniLinkSettings linkSettings;
};

class CKelvixApp : private CKelvixSettings, public CLinkUser, public CLink {
public:
    CKelvixApp(Edition edition, AppServices services, std::unique_ptr<plat::ISerialDevice> device);
    ~CKelvixApp() override;
    CKelvixApp(const CKelvixApp&) = delete;
    CKelvixApp& operator=(const CKelvixApp&) = delete;

    // Services.
    plat::IInstanceLock& Lock() { return services_.lock; }
    plat::IProfile& Profile() { return services_.profile; }
    // The "First_data" trace lines go to the front end in kelvane only.
    TraceLine SettingsTrace() const { return settingsTrace; }
    plat::IProcess& Process() { return services_.process; }
    tk::Ui& Ui() { return services_.ui; }

    // The message table's text `id` for this edition.
    std::string String(int id) const;
    // A message box with the title as caption and the text of message `id`.
    int Message(int id, tk::Icon icon, tk::Buttons buttons = tk::Buttons::Ok);
    // A message box with the title as caption and the given text.
    int MessageText(const std::string& text, tk::Icon icon, tk::Buttons buttons = tk::Buttons::Ok);

    // Process-wide values that outlive dialogs (none is saved).
    int firstRun = 0;
    int lastMcuType = 0;
    int programInterval = 40;
    std::string rememberedStart = "0C0000";
    std::string rememberedEnd = "0FFFFF";
    // The program file named on the command line (a file manager's "Open
    // with"), or empty.
    std::string commandLineFile;

    // The program's start-up: runs the whole program; answers the exit code.
    int Run(const std::vector<std::string>& args);

    // The link's questions, answered with the dialogs and the message table.
    bool ChooseRange(uint32_t& start, uint32_t& end) override;
    bool ProgramInterval(int& ms) override;
    bool ConfirmProgram(uint32_t start, uint32_t end) override;
    bool ConfirmDownload() override;
    std::unique_ptr<CProgress> OpenProgress(const std::string& message, const std::string& title, uint32_t start,
                                            uint32_t end) override;
    bool RetryLostLink(bool timedOut) override;
    bool ChooseCommState(uint32_t& baud, uint8_t& byteSize, uint8_t& stopBits, uint8_t& parity) override;
    void Waiting(bool on) override;
    bool SetCommStateFirst() override;
    bool Ending() override;
    bool StopRequested() override;
    void Report(const Outcome& outcome) override;
    void ShowStatus(uint8_t srd, uint8_t srd1) override;
    void ShowVersion(const std::string& text) override;
    void Trace(const std::string& text) override;

    // The progress window on the screen now, if any, and whether its pages
    // are being programmed: a lost link takes it down before its message.
    void ProgressShown(CProgress* progress, bool programming);
    void ProgressGone(const CProgress* progress);

private:
    AppServices services_;
    CProgress* shownProgress_ = nullptr;
    bool shownProgressPrograms_ = false;
};

}  // namespace kv
