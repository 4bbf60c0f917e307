#include "app/companion.h"

#include <string>
#include <vector>

#include "app/kelvix_app.h"
#include "platform/serial_device.h"
#include "res/strings.h"

namespace kv {

namespace {
const char kCompanion[] = "kelvlite";
const char* const kEndings[] = {"", ".com", ".exe", ".bat", ".cmd"};
}  // namespace

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string FindCompanion(plat::IProcess& process) {
    // The program's own folder comes first: an installed kelvane finds its
    // kelvlite wherever the user happens to be.
    for (const std::string& folder : {FolderOf(process.SelfPath()), process.CurrentDir()}) {
        if (folder.empty()) continue;
        const std::string base = (folder == "/" ? "" : folder) + "/" + kCompanion;
        for (const char* ending : kEndings)
            if (process.IsFile(base + ending)) return base + ending;
    }
    return {};
}

std::string CompanionPortArgument(const std::string& port) {
    // kelvlite takes "COM..." and device paths as its port; any other name
    // goes as the device it names, so kelvlite opens the same port.
    if (port.compare(0, 3, "COM") == 0 || port.compare(0, 1, "/") == 0) return port;
    const std::string device = plat::DevicePathForPort(port);
    return device.empty() ? port : device;
}

bool StartCompanion(CKelvixApp& app, const std::string& port) {
    const std::string path = FindCompanion(app.Process());
    std::vector<std::string> argv = {kCompanion, CompanionPortArgument(port)};
    // The file kelvane was opened with goes on to kelvlite's FilePath.
    if (!app.commandLineFile.empty()) argv.push_back(app.commandLineFile);
    if (!path.empty() && app.Process().ExecReplace(path, argv)) return true;
    app.Message(IDS_COMPANION_NOT_FOUND, tk::Icon::Stop);
    return false;
}

}  // namespace kv
