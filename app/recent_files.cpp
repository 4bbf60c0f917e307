#include "app/recent_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/kelvix_app.h"

namespace kv {

namespace {

const char kSection[] = "Recent Files";

std::string KeyOf(size_t index) { return "File" + std::to_string(index + 1); }

}  // namespace

std::vector<std::string> RecentFiles(plat::IProfile& profile) {
    std::vector<std::string> files;
    for (size_t i = 0; i < kRecentFiles; ++i) {
        const auto value = profile.Get(kSection, KeyOf(i));
        if (!value || value->empty()) continue;
        if (std::find(files.begin(), files.end(), *value) == files.end()) files.push_back(*value);
    }
    return files;
}

void RememberFile(plat::IProfile& profile, const std::string& path) {
    if (path.empty()) return;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    const std::string name = ec ? path : absolute.lexically_normal().string();
    std::vector<std::string> files = RecentFiles(profile);
    std::erase(files, name);
    files.insert(files.begin(), name);
    files.resize(std::min(files.size(), kRecentFiles));
    // Only keys that change are written: a read-only settings file costs nothing.
    for (size_t i = 0; i < kRecentFiles; ++i) {
        const std::string value = i < files.size() ? files[i] : std::string();
        if (profile.Get(kSection, KeyOf(i)).value_or("") != value) profile.Set(kSection, KeyOf(i), value);
    }
}

tk::DialogTemplate WithRecentFiles(const tk::DialogTemplate& tpl, int fieldId, plat::IProfile& profile) {
    tk::DialogTemplate copy = tpl;
    for (auto& c : copy.controls) {
        if (c.id != fieldId) continue;
        c.kind = tk::Kind::ComboBox;
        c.items = RecentFiles(profile);
    }
    return copy;
}

std::string FirstFilePath(CKelvixApp& app) {
    if (!app.commandLineFile.empty()) return app.commandLineFile;
    const auto files = RecentFiles(app.Profile());
    return files.empty() ? std::string() : files.front();
}

}  // namespace kv
