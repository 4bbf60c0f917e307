#include "cli/run_profile.h"

#include <cctype>

namespace kv::cli {

std::string CRunProfile::Name(const std::string& section, const std::string& key) {
    std::string name = section + "\n" + key;
    for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return name;
}

std::optional<std::string> CRunProfile::Get(const std::string& section, const std::string& key) {
    const auto found = values_.find(Name(section, key));
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

bool CRunProfile::Set(const std::string& section, const std::string& key, const std::string& value) {
    values_[Name(section, key)] = value;
    return true;
}

}  // namespace kv::cli
