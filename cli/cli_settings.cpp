#include "cli/cli_settings.h"

#include "link/save_ini.h"

namespace kv::cli {

bool CCliSettings::StoredCommState(CommState& state) {
    state = CommState{options_.LinkBaud(), 8, 0, 0};
    return true;
}

uint32_t CCliSettings::PageReadTimeout(uint32_t fallback) {
    if (!settingsFile_) return fallback;
    return CSaveIni(*settingsFile_, {}).ReadPageReadTimeout(fallback);
}

}  // namespace kv::cli
