#pragma once
// A CKelvixApp on virtual time, with a fake serial device, an in-memory
// settings file, the scripted front end and a scripted boot loader.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/kelvix_app.h"
#include "res/strings.h"
#include "res/templates.h"
#include "tests/support/fake_serial_device.h"
#include "tests/support/memory_profile.h"
#include "tests/support/virtual_clock.h"
#include "toolkit/scripted/scripted_ui.h"

namespace kvtest {

class FakeLock : public plat::IInstanceLock {
public:
    bool Acquire(const std::string&) override { return held_ = true; }
    void Release() override {
        held_ = false;
        ++releases_;
    }
    bool Held() const override { return held_; }
    int Releases() const { return releases_; }

private:
    bool held_ = true;
    int releases_ = 0;
};

class NullProcess : public plat::IProcess {
public:
    std::string SelfPath() override { return "/opt/kelvane/kelvane"; }
    std::string CurrentDir() override { return "/tmp"; }
    bool IsFile(const std::string&) override { return false; }
    std::optional<std::string> Env(const std::string&) override { return std::nullopt; }
    bool ExecReplace(const std::string&, const std::vector<std::string>&) override { return false; }
    std::vector<plat::SerialAdapter> SerialPortsPresent() override { return {}; }
};

// What the scripted boot loader (or, in kelvlite, the sequencer) answers.
// Routine blocks in these tests are two bytes: 0xEE and the slot number.
struct ScriptedLoader {
    bool lite = false;
    bool echoCodes = true;                 // 0xB0..0xB4 come back
    std::map<uint8_t, uint8_t> wrongEcho;  // code -> the byte sent back instead
    std::optional<std::pair<uint8_t, uint8_t>> status = std::make_pair(uint8_t{0x80}, uint8_t{0x00});
    std::optional<uint8_t> pageFill = 0x5A;  // the bytes of every page read
    size_t pageBytes = 256;                  // fewer: a cut reply
    std::vector<uint8_t> routineAck = {0x13, 0x06, 0x11};
    std::vector<uint8_t> handshakeAck = {0x13, 0x11};
    uint32_t delayMs = 1;
    int fillers = 0;  // 0x00 bytes in a row: a run of them ends in the synchronisation

    void operator()(FakeSerialDevice& dev, const std::vector<uint8_t>& block);
};

class LinkRig {
public:
    explicit LinkRig(kv::Edition edition = kv::Edition::Kelvane, int programMode = 0);

    kv::CKelvixApp& App() { return *app_; }
    kv::CSerialComm& Channel() { return app_->Channel(); }
    FakeSerialDevice& Dev() { return *dev_; }
    VirtualClock& Clock() { return clock_; }
    MemoryProfile& Profile() { return profile_; }
    FakeLock& Lock() { return lock_; }
    tk::ScriptedUi& Ui() { return ui_; }
    ScriptedLoader& Loader() { return loader_; }

    // Stores a communication state in the settings file.
    void StoreCommState(uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity);
    // The texts of the message boxes shown so far.
    std::vector<std::string> Messages() const { return ui_.MessageTexts(); }
    // Sent bytes from index `from` on.
    std::vector<uint8_t> SentFrom(size_t from) const;
    std::vector<WireByte> WireFrom(size_t from) const;
    // Sets the port to a rate without any exchange (the link already there).
    void PortAt(uint32_t baud);

private:
    VirtualClock clock_;
    MemoryProfile profile_;
    FakeLock lock_;
    NullProcess process_;
    tk::ScriptedUi ui_;
    ScriptedLoader loader_;
    FakeSerialDevice* dev_ = nullptr;
    std::unique_ptr<kv::CKelvixApp> app_;
};

}  // namespace kvtest
