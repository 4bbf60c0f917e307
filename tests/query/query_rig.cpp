#include "tests/query/query_rig.h"

#include "link/command.h"
#include "tests/support/stub_link.h"

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
    OpenStubLink(*app_);
}

}  // namespace kvtest
