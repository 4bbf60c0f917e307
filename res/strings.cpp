#include "res/strings.h"

#include <map>

namespace kv {

namespace {

const std::map<int, std::string>& CommonTable() {
    static const std::map<int, std::string> table = {
        {101, "&About Kelvix..."},
        {102, "COM1"},
        {1000, "ERASE?"},
        {1001, "FFFDF"},
        {1002, "FFFE3"},
        {1003, "FFFEB"},
        {1004, "FFFEF"},
        {1005, "FFFF3"},
        {1006, "FFFF7"},
        {1007, "FFFFB"},
        {1008, "FFFFF"},
        {1009, "Too small start address."},
        {1010, "Did not pass ID."},
        {1011, "Can not communicate."},
        {1012, "Find not blank at address\r"},
        {1013, "Stop programming."},
        {1014, "Find not match at address\r"},
        {1015, "Can not accept this file."},
        {1016, "Can not found the ID file."},
        {1017, "Not match ID."},
        {1018, "Do not match ID style."},
        {1019, "Did not input filename."},
        {1020, "Can not communicate to outside."},
        {1021, "Erase error."},
        {1022, "Erase OK."},
        {1023, "Program error."},
        {1024, "Program OK."},
        {1025, "Communication error.\nPush RESET."},
        {1026, "Can not set last baudrate.\nBaudrate is 9600bps now."},
        {1027, "Can not set new baudrate.\nBaudrate is last baudrate now."},
        {1028, "Can not set default baudrate.\nBaudrate is 9600bps now."},
        {1029, "Can not use the Micon.\nClose this program."},
        {1030, "Timeout.\nPush RESET."},
        {1031, "Baudrate is 9600bps now."},
        {1032, "Can not set new communication state.\nPush RESET.\nEnd this program once, and restart."},
        {1033, "Can not set baudrate to 9600bps."},
        {1034, "Kelvane"},
        {1035, "Stop downloading."},
        {1036, "Too higher end address(0x2A00)"},
        {1037, "Download Completed."},
        {1038, "Download not completed.\nPlease retry Download."},
        {1101, "FFFFDF"},
        {1102, "FFFFE3"},
        {1103, "FFFFEB"},
        {1104, "FFFFEF"},
        {1105, "FFFFF3"},
        {1106, "FFFFF7"},
        {1107, "FFFFFB"},
        {1108, "This program is already running."},
        {1109, "FFD4"},
        {1110, "FFD5"},
        {1111, "FFD6"},
        {1112, "FFD7"},
        {1113, "FFD8"},
        {1114, "FFD9"},
        {1115, "FFDA"},
        {2000, "Address out of range.\nThe last address is FFFFFF."},
        {2100, "Too large download area.\nA download holds at most FF00h bytes (255 pages)."},
        {2300, "Too long program interval.\nThe program interval is at most 10000 ms."},
        {2400, "Connecting to %s..."},
        {2401, "The flash is now partly programmed."},
        {2402, "%s takes two hexadecimal digits."},
        {2403, "Port: %s"},
    };
    return table;
}

}  // namespace

std::string LoadString(Edition edition, int id) {
    if (edition == Edition::Kelvane && id == IDS_COMPANION_NOT_FOUND)
        return std::string("kelvlite.exe not found !!\r Please access to\r \"") + kHomePage + "\"";
    if (edition == Edition::Kelvlite && id == IDS_BLANK_CHECK_OK) return "Blank Check OK.";
    if (edition == Edition::Kelvlite && id == IDS_READ_CHECK_OK) return "Read Check OK.";
    const auto& table = CommonTable();
    auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}

}  // namespace kv
