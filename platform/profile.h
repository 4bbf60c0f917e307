#pragma once
// Private-profile (INI) access by section and key. Sections and keys match
// case-insensitively; a write changes only its own key and is atomic.
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace plat {

class IProfile {
public:
    virtual ~IProfile() = default;
    // The value, or nothing when the file, the section or the key is missing.
    virtual std::optional<std::string> Get(const std::string& section, const std::string& key) = 0;
    // Creates the file, section or key as needed. False when the write failed,
    // or when the text would break the file's lines (a line break or NUL, a
    // bracket in the section, '=' in the key); the file is then untouched.
    virtual bool Set(const std::string& section, const std::string& key, const std::string& value) = 0;
};

// Integer read with the private-profile rules: the leading decimal number of
// the value (0 when it starts with no digit), or `fallback` when the key is missing.
int GetProfileInt(IProfile& profile, const std::string& section, const std::string& key, int fallback);

// Called with a message for the user, once per file, when the file cannot
// serve as settings file at all (it is too large to be one).
using ProfileProblem = std::function<void(const std::string& message)>;

// The INI file at `path`, read and written one key at a time. Writes hold
// an advisory lock on the file, go through a symbolic link to its target,
// and leave a file alone that the user made read-only.
std::unique_ptr<IProfile> MakeIniFile(const std::string& path, ProfileProblem problem = {});

// $XDG_CONFIG_HOME/<program>.INI (default ~/.config).
std::string DefaultProfilePath(const std::string& programName);

}  // namespace plat
