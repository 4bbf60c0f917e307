#pragma once
// A whole program run on virtual time: the application object with a fake
// serial device wired to the simulated chip (or to nothing), an in-memory
// settings file, the scripted front end, a lock and a process service that
// say what the test wants.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/kelvix_app.h"
#include "sim/chip.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/memory_profile.h"
#include "tests/support/sim_peer.h"
#include "tests/support/virtual_clock.h"
#include "toolkit/scripted/scripted_ui.h"

namespace kvtest {

class FakeLock : public plat::IInstanceLock {
public:
    bool Acquire(const std::string& name) override {
        names.push_back(name);
        held_ = !heldElsewhere;
        return held_;
    }
    void Release() override {
        if (held_) ++releases;
        held_ = false;
    }
    bool Held() const override { return held_; }

    bool heldElsewhere = false;  // another instance runs
    std::vector<std::string> names;
    int releases = 0;

private:
    bool held_ = false;
};

class FakeProcess : public plat::IProcess {
public:
    struct Start {
        std::string path;
        std::vector<std::string> argv;
    };

    std::string SelfPath() override { return selfPath; }
    std::string CurrentDir() override { return currentDir; }
    bool IsFile(const std::string& path) override { return files.count(path) != 0; }
    std::optional<std::string> Env(const std::string& name) override {
        auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    }
    // Records the start; "succeeds" by returning true (a real start never returns).
    bool ExecReplace(const std::string& path, const std::vector<std::string>& argv) override {
        starts.push_back({path, argv});
        return startWorks;
    }
    std::vector<plat::SerialAdapter> SerialPortsPresent() override { return ports; }

    std::string selfPath = "/opt/kelvane/bin/kelvane";
    std::string currentDir = "/home/user/work";
    std::set<std::string> files;
    std::map<std::string, std::string> env;
    std::vector<plat::SerialAdapter> ports;
    bool startWorks = true;
    std::vector<Start> starts;
};

// The delivered firmware beside the build ($KELVANE_BUILD_DIR/firm.mot), or
// nothing when the test runs without it.
std::optional<kv::RoutineTable> BuildFirmware();
std::string BuildDir();

sim::Options FlashChip();
sim::Options BootLoaderChip();
sim::Options LiteChip(const kv::RoutineTable& firmware);

// The scripted front end that also notes the application flags as each
// modal dialog opens, so a test sees the state a dialog started from.
class FlagSpyUi : public tk::ScriptedUi {
public:
    struct Opened {
        int templateId;
        int programMode, linkReady, idVerified, firstRun;
    };
    void Watch(kv::CKelvixApp* app) { app_ = app; }
    int RunModal(tk::Dialog& dlg) override;
    // Runs just before each message box is answered (the user resets the board).
    std::function<void(const std::string& text)> beforeAnswer;
    int MessageBox(const std::string& text, const std::string& caption, tk::Icon icon, tk::Buttons buttons) override;
    const std::vector<Opened>& OpenedWith() const { return opened_; }
    // The flags when the first dialog of that template opened.
    std::optional<Opened> At(int templateId) const;

private:
    kv::CKelvixApp* app_ = nullptr;
    std::vector<Opened> opened_;
};

class AppRig {
public:
    // With a chip, or with nothing on the line (`chip` empty).
    AppRig(kv::Edition edition, std::optional<sim::Options> chip);

    kv::CKelvixApp& App() { return *app_; }
    FakeSerialDevice& Dev() { return *dev_; }
    sim::Chip& Chip() { return *chip_; }
    MemoryProfile& Profile() { return profile_; }
    FakeLock& Lock() { return lock_; }
    FakeProcess& Process() { return process_; }
    FlagSpyUi& Ui() { return ui_; }
    VirtualClock& Clock() { return clock_; }

    int Run(const std::vector<std::string>& args) { return app_->Run(args); }

    // For panel tests: the channel open at 9600 8N1 and the chip awake.
    void BringUp();
    void StoreCommState(uint32_t baud);
    std::optional<std::string> Stored(const std::string& section, const std::string& key) {
        return profile_.Get(section, key);
    }

    std::vector<std::string> Messages() const { return ui_.MessageTexts(); }
    // Template ids of the dialogs opened, in order.
    std::vector<int> DialogsOpened() const;
    std::vector<uint8_t> SentFrom(size_t from) const;
    size_t SentCount() const { return dev_->SentBytes().size(); }

private:
    VirtualClock clock_;
    MemoryProfile profile_;
    FakeLock lock_;
    FakeProcess process_;
    FlagSpyUi ui_;
    FakeSerialDevice* dev_ = nullptr;
    std::unique_ptr<sim::Chip> chip_;
    std::unique_ptr<SimPeer> peer_;
    std::unique_ptr<kv::CKelvixApp> app_;
};

}  // namespace kvtest
