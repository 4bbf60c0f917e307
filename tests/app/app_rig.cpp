#include "tests/app/app_rig.h"

#include <cstdlib>

namespace kvtest {

std::string BuildDir() {
    const char* dir = std::getenv("KELVANE_BUILD_DIR");
    return dir ? dir : ".";
}

std::optional<kv::RoutineTable> BuildFirmware() {
    kv::RoutineTable table;
    bool opened = false;
    if (!kv::LoadSequencerFirmware(BuildDir() + "/firm.mot", table, opened)) return std::nullopt;
    return table;
}

sim::Options FlashChip() {
    sim::Options o;
    o.mode = sim::Mode::Flash;
    return o;
}

sim::Options BootLoaderChip() {
    sim::Options o;
    o.mode = sim::Mode::Bootloader;
    o.mcu = sim::McuType::VireoH;
    return o;
}

sim::Options LiteChip(const kv::RoutineTable& firmware) {
    sim::Options o;
    o.mode = sim::Mode::Lite;
    o.mcu = sim::McuType::Wren;
    o.firmware = firmware;
    return o;
}

int FlagSpyUi::RunModal(tk::Dialog& dlg) {
    if (app_ && !QuitRequested())
        opened_.push_back({dlg.Template().id, app_->programMode, app_->linkReady, app_->idVerified, app_->firstRun});
    return tk::ScriptedUi::RunModal(dlg);
}

int FlagSpyUi::MessageBox(const std::string& text, const std::string& caption, tk::Icon icon, tk::Buttons buttons) {
    if (beforeAnswer && !QuitRequested()) beforeAnswer(text);
    return tk::ScriptedUi::MessageBox(text, caption, icon, buttons);
}

std::optional<FlagSpyUi::Opened> FlagSpyUi::At(int templateId) const {
    for (const auto& o : opened_)
        if (o.templateId == templateId) return o;
    return std::nullopt;
}

AppRig::AppRig(kv::Edition edition, std::optional<sim::Options> chip) {
    auto dev = std::make_unique<FakeSerialDevice>(clock_);
    dev_ = dev.get();
    if (chip) {
        chip_ = std::make_unique<sim::Chip>(std::move(*chip));
        peer_ = std::make_unique<SimPeer>(*dev_, *chip_);
    }
    if (edition == kv::Edition::Kelvlite) process_.selfPath = BuildDir() + "/kelvlite";
    app_ = std::make_unique<kv::CKelvixApp>(edition, kv::AppServices{clock_, profile_, lock_, process_, ui_},
                                            std::move(dev));
    ui_.Watch(app_.get());
}

void AppRig::BringUp() {
    lock_.Acquire(app_->IsLite() ? "kelvlite.exe" : "KELVANE.exe");
    if (app_->IsLite()) {
        if (auto table = BuildFirmware()) app_->Routines() = *table;
    }
    app_->Channel().Open("COM1");
    app_->ApplyLineSettings(9600, 8, 0, 0);
    app_->Channel().SetTimeout(5000);
    app_->Synchronise();
}

void AppRig::StoreCommState(uint32_t baud) {
    profile_.Set("Last Comm State", "Baundrate", std::to_string(baud));
    profile_.Set("Last Comm State", "Byte", "8");
    profile_.Set("Last Comm State", "Stop Bit", "0");
    profile_.Set("Last Comm State", "Parity", "0");
}

std::vector<int> AppRig::DialogsOpened() const {
    std::vector<int> ids;
    for (const auto& e : ui_.EventsOf(tk::ScriptEvent::Type::DialogOpened)) ids.push_back(e.templateId);
    return ids;
}

std::vector<uint8_t> AppRig::SentFrom(size_t from) const {
    auto all = dev_->SentBytes();
    return from < all.size() ? std::vector<uint8_t>(all.begin() + static_cast<long>(from), all.end())
                             : std::vector<uint8_t>{};
}

}  // namespace kvtest
