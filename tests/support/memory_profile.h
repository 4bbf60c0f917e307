#pragma once
// An in-memory settings file with the same lookup rules as the INI file.
#include <cctype>
#include <map>
#include <optional>
#include <string>

#include "platform/profile.h"

namespace kvtest {

class MemoryProfile : public plat::IProfile {
public:
    std::optional<std::string> Get(const std::string& section, const std::string& key) override {
        auto it = values_.find(Key(section, key));
        if (it == values_.end()) return std::nullopt;
        return it->second;
    }
    bool Set(const std::string& section, const std::string& key, const std::string& value) override {
        ++writes_;
        values_[Key(section, key)] = value;
        return true;
    }
    void Erase(const std::string& section, const std::string& key) { values_.erase(Key(section, key)); }
    int Writes() const { return writes_; }

private:
    static std::string Key(const std::string& section, const std::string& key) {
        std::string k = section + "\x1f" + key;
        for (auto& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return k;
    }
    std::map<std::string, std::string> values_;
    int writes_ = 0;
};

}  // namespace kvtest
