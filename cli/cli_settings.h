#pragma once
// kelvane-cli's answers to what the link would read from the dialog
// programs' settings file: the rate and the switches come from the
// arguments, nothing is kept, and only a hand-set page-read time-out is
// taken from the dialog program's settings file.
#include "cli/cli_options.h"
#include "link/link_settings.h"
#include "platform/profile.h"

namespace kv::cli {

class CCliSettings : public ILinkSettings {
public:
    // `settingsFile`: the dialog program's settings file; none: not read.
    CCliSettings(const Options& options, plat::IProfile* settingsFile)
        : options_(options), settingsFile_(settingsFile) {}

    bool StoredCommState(CommState& state) override;
    void StoreCommState(const CommState&) override {}
    bool EraseBlockByBlock() override { return options_.oldErase; }
    bool SyncBeginsWithB0() override { return options_.syncB0; }
    void RewriteEraseVariant() override {}
    uint32_t PageReadTimeout(uint32_t fallback) override;

private:
    const Options& options_;
    plat::IProfile* settingsFile_;
};

}  // namespace kv::cli
