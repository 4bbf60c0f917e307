#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/linux/ini_text.h"
#include "platform/linux/small_file.h"
#include "platform/profile.h"

namespace plat {
namespace {

// Settings files are a few hundred bytes; anything far larger is not one.
constexpr size_t kMaxIniBytes = 4u << 20;

// Reads the file on every call: no other layer caches it, so a hand edit
// between two calls is seen.
class IniFile final : public IProfile {
public:
    IniFile(std::string path, ProfileProblem problem) : path_(std::move(path)), problem_(std::move(problem)) {}

    std::optional<std::string> Get(const std::string& section, const std::string& key) override {
        std::string text;
        const ReadResult read = ReadSmallFile(path_, text, kMaxIniBytes);
        if (read == ReadResult::TooLarge) TellTooLarge();
        if (read != ReadResult::Ok) return std::nullopt;
        return IniLookup(text, section, key);
    }

    bool Set(const std::string& section, const std::string& key, const std::string& value) override {
        if (!IniCanStore(section, key, value)) return false;
        // A file that exists but cannot be read, is too large or may not be
        // written is never overwritten: its lines would be lost.
        const UpdateResult result = UpdateSmallFile(
            path_, kMaxIniBytes, [&](const std::string& text) { return IniWithValue(text, section, key, value); });
        if (result == UpdateResult::TooLarge) TellTooLarge();
        return result == UpdateResult::Written;
    }

private:
    void TellTooLarge() {
        if (told_ || !problem_) return;
        told_ = true;
        problem_("The settings file " + path_ +
                 " is larger than 4 MiB, so it is not read.\n"
                 "Settings will not be saved until it is made smaller or removed.");
    }

    std::string path_;
    ProfileProblem problem_;
    bool told_ = false;
};

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] != '\0') return pw->pw_dir;
    return "/tmp";
}

}  // namespace

std::unique_ptr<IProfile> MakeIniFile(const std::string& path, ProfileProblem problem) {
    return std::make_unique<IniFile>(path, std::move(problem));
}

std::string DefaultProfilePath(const std::string& programName) {
    const std::string file = programName + ".INI";
    // Relative values of XDG_CONFIG_HOME are invalid and ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/" + file;
    return HomeFolder() + "/.config/" + file;
}

}  // namespace plat
