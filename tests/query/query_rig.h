#pragma once
// An application on virtual time with a scripted boot loader, whose front end
// also keeps the field texts each modal dialog showed when it closed.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/kelvix_app.h"
#include "tests/link/link_rig.h"

namespace kvtest {

class FieldCapturingUi : public tk::ScriptedUi {
public:
    int RunModal(tk::Dialog& dlg) override {
        const int result = tk::ScriptedUi::RunModal(dlg);
        std::map<int, std::string> texts;
        for (const auto& c : dlg.Template().controls)
            if (c.id > 0) texts[c.id] = dlg.GetItemText(c.id);
        shown.push_back({dlg.Template().id, std::move(texts)});
        return result;
    }
    struct Shown {
        int templateId;
        std::map<int, std::string> fields;
    };
    std::vector<Shown> shown;
};

class QueryRig {
public:
    explicit QueryRig(kv::Edition edition);

    kv::CKelvixApp& App() { return *app_; }
    FakeSerialDevice& Dev() { return *dev_; }
    FieldCapturingUi& Ui() { return ui_; }
    ScriptedLoader& Loader() { return loader_; }
    // The reply to the version request; empty: no reply.
    std::vector<uint8_t> versionReply;

private:
    VirtualClock clock_;
    MemoryProfile profile_;
    FakeLock lock_;
    NullProcess process_;
    FieldCapturingUi ui_;
    ScriptedLoader loader_;
    FakeSerialDevice* dev_ = nullptr;
    std::unique_ptr<kv::CKelvixApp> app_;
};

}  // namespace kvtest
