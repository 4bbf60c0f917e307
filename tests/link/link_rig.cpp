#include "tests/link/link_rig.h"

#include "tests/support/stub_link.h"

namespace kvtest {

void ScriptedLoader::operator()(FakeSerialDevice& dev, const std::vector<uint8_t>& block) {
    auto reply = [&](const std::vector<uint8_t>& bytes) { dev.Deliver(bytes, dev.Clock().Now() + delayMs); };
    if (block.empty()) return;
    const uint8_t first = block[0];
    // Any other block breaks a run of fillers.
    const int fillersBefore = fillers;
    fillers = block.size() == 1 && first == 0x00 ? fillers + 1 : 0;
    if (block.size() == 2 && first == 0xEE) {  // a routine block
        reply(routineAck);
        return;
    }
    if (block.size() == 3 && first == 0xFF) {  // page read
        if (pageFill) reply(std::vector<uint8_t>(pageBytes, *pageFill));
        return;
    }
    if (block.size() != 1) return;  // other frames have no reply here
    if (first == 0x70) {
        if (status) reply({status->first, status->second});
    } else if (first == 0x06 && lite) {
        reply(handshakeAck);
    } else if (first >= 0xB0 && first <= 0xB4 && echoCodes) {
        auto it = wrongEcho.find(first);
        reply({it == wrongEcho.end() ? first : it->second});
        if (lite && first == 0xB0 && fillersBefore >= 8) reply({0x11});  // the sequencer is up
    }
}

LinkRig::LinkRig(kv::Edition edition, int programMode) {
    auto dev = std::make_unique<FakeSerialDevice>(clock_);
    dev_ = dev.get();
    app_ = std::make_unique<kv::CKelvixApp>(edition, kv::AppServices{clock_, profile_, lock_, process_, ui_},
                                            std::move(dev));
    app_->programMode = programMode;
    loader_.lite = edition == kv::Edition::Kelvlite;
    dev_->SetResponder([this](FakeSerialDevice& d, const std::vector<uint8_t>& block) { loader_(d, block); });
    OpenStubLink(*app_);
}

void LinkRig::StoreCommState(uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity) {
    profile_.Set("Last Comm State", "Baundrate", std::to_string(baud));
    profile_.Set("Last Comm State", "Byte", std::to_string(byteSize));
    profile_.Set("Last Comm State", "Stop Bit", std::to_string(stopBits));
    profile_.Set("Last Comm State", "Parity", std::to_string(parity));
}

std::vector<uint8_t> LinkRig::SentFrom(size_t from) const {
    auto all = dev_->SentBytes();
    return from < all.size() ? std::vector<uint8_t>(all.begin() + static_cast<long>(from), all.end())
                             : std::vector<uint8_t>{};
}

std::vector<WireByte> LinkRig::WireFrom(size_t from) const {
    const auto& all = dev_->Sent();
    return from < all.size() ? std::vector<WireByte>(all.begin() + static_cast<long>(from), all.end())
                             : std::vector<WireByte>{};
}

void LinkRig::PortAt(uint32_t baud) { app_->ApplyLineSettings(baud, 8, 0, 0); }

}  // namespace kvtest
