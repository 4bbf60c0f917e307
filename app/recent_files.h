#pragma once
// The program files used last, kept in the settings file, and the FilePath
// field that offers them.
#include <string>
#include <vector>

#include "platform/profile.h"
#include "toolkit/dialog_template.h"

namespace kv {

class CKelvixApp;

// How many files the list keeps.
constexpr size_t kRecentFiles = 4;

// Section "Recent Files", keys "File1" (the newest) to "File4"; empty keys
// and repeats are left out.
std::vector<std::string> RecentFiles(plat::IProfile& profile);
// Puts `path` first (as an absolute path), the others after it, the oldest
// beyond the limit dropped.
void RememberFile(plat::IProfile& profile, const std::string& path);

// `tpl` with its FilePath field (id `fieldId`) made a drop-down of the
// recent files; typing a path stays as before.
tk::DialogTemplate WithRecentFiles(const tk::DialogTemplate& tpl, int fieldId, plat::IProfile& profile);

// What FilePath shows when a file dialog opens: the file named on the
// command line, else the newest recent file, else nothing.
std::string FirstFilePath(CKelvixApp& app);

}  // namespace kv
