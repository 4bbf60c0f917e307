#include "app/firmware.h"

#include "app/companion.h"
#include "app/kelvix_app.h"
#include "link/routine_table.h"

namespace kv {

std::string FirmwarePathFor(const std::string& programPath) {
    const std::string folder = FolderOf(programPath);
    return (folder == "/" ? "" : folder) + "/firm.mot";
}

bool LoadFirmware(CKelvixApp& app) {
    bool opened = false;
    if (LoadSequencerFirmware(FirmwarePathFor(app.Process().SelfPath()), app.Routines(), opened)) return true;
    if (!opened) app.MessageText("Not Found Sequencer Firmware!\r\n This Program is Quit!", tk::Icon::Stop);
    return false;
}

}  // namespace kv
