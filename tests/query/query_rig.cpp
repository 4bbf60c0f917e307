#include "tests/query/query_rig.h"

#include "link/command.h"

// The scripted boot loader of the link tests.
#include "tests/link/link_rig.cpp"

namespace kvtest {

QueryRig::QueryRig(kv::Edition edition) {
    auto dev = std::make_unique<FakeSerialDevice>(clock_);
    dev_ = dev.get();
    app_ = std::make_unique<kv::CKelvixApp>(edition, kv::AppServices{clock_, profile_, lock_, process_, ui_},
                                            std::move(dev));
    loader_.lite = edition == kv::Edition::Kelvlite;
    dev_->SetResponder([this](FakeSerialDevice& d, const std::vector<uint8_t>& block) {
        if (block.size() == 1 && block[0] == kv::kVersionRead) {
            if (!versionReply.empty()) d.Deliver(versionReply, d.Clock().Now() + 1);
            return;
        }
        loader_(d, block);
    });
    for (int slot = 0; slot < kv::RoutineTable::kSlots; ++slot) {
        auto& s = app_->Routines().slots[static_cast<size_t>(slot)];
        s.bytes[0] = 0xEE;
        s.bytes[1] = static_cast<uint8_t>(slot);
        s.length = 2;
    }
    app_->Routines().loaded = true;
    app_->Channel().Open("COM1");
    app_->ApplyLineSettings(9600, 8, 0, 0);
    app_->Channel().SetTimeout(5000);
}

}  // namespace kvtest
