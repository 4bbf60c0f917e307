#include "app/switches.h"

#include "app/kelvix_app.h"
#include "link/save_ini.h"

namespace kv {

namespace {

// The value after the command line has had its say: each text of the pair
// that appears replaces it in turn.
std::string Pick(std::string current, const std::string& commandLine, const char* plus, const char* minus) {
    if (commandLine.find(plus) != std::string::npos) current = plus;
    if (commandLine.find(minus) != std::string::npos) current = minus;
    return current;
}

}  // namespace

void StoreSwitches(CKelvixApp& app, const std::string& commandLine) {
    CSaveIni ini(app.Profile(), app.SettingsTrace());
    const std::string eraseType = ini.ReadDefaultType();
    if (app.IsLite()) {
        ini.SetDefaultType(Pick(eraseType, commandLine, "+a", "-a"));
        ini.WriteDefaultType();
        return;
    }
    const std::string firstData = ini.ReadFirstData();
    ini.SetDefaultType(Pick(eraseType, commandLine, "+a", "-a"));
    ini.WriteDefaultType();
    ini.SetFirstData(Pick(firstData, commandLine, "+Z", "-Z"));
    ini.WriteFirstData();
}

}  // namespace kv
