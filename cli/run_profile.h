#pragma once
// The settings of one kelvane-cli run, held in memory: what the dialog
// programs keep in their settings file comes from the arguments here, and
// nothing of a run is saved.
#include <map>
#include <optional>
#include <string>

#include "platform/profile.h"

namespace kv::cli {

class CRunProfile : public plat::IProfile {
public:
    std::optional<std::string> Get(const std::string& section, const std::string& key) override;
    bool Set(const std::string& section, const std::string& key, const std::string& value) override;

private:
    static std::string Name(const std::string& section, const std::string& key);
    std::map<std::string, std::string> values_;
};

}  // namespace kv::cli
