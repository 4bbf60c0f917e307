#include "app/firmware.h"

#include <string>

#include "app/companion.h"
#include "app/kelvix_app.h"
#include "image/routine_table.h"

namespace kv {

std::string FirmwarePathFor(const std::string& programPath) {
    const std::string folder = FolderOf(programPath);
    return (folder == "/" ? "" : folder) + "/firm.mot";
}

bool LoadFirmware(CKelvixApp& app) {
    bool opened = false;
    unsigned badLine = 0;
    const std::string path = FirmwarePathFor(app.Process().SelfPath());
    if (LoadSequencerFirmware(path, app.Routines(), opened, &badLine)) return true;
    if (!opened) {
        app.MessageText("Not Found Sequencer Firmware!\r\n This Program is Quit!", tk::Icon::Stop);
        return false;
    }
    // A broken file must not end the program without a word.
    std::string where = path;
    if (badLine) where += ", line " + std::to_string(badLine);
    app.MessageText("Sequencer Firmware is broken!\r\n " + where + "\r\n This Program is Quit!", tk::Icon::Stop);
    return false;
}

}  // namespace kv
