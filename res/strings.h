#pragma once
// The message table of both programs.
#include <string>

#include "res/edition.h"

namespace kv {

// Message ids used by name in the code.
enum MessageId : int {
    IDS_ABOUTBOX = 101,
    IDS_TOO_SMALL_START = 1009,
    IDS_NOT_PASS_ID = 1010,
    IDS_CANNOT_COMMUNICATE = 1011,
    IDS_NOT_BLANK = 1012,
    IDS_STOP_PROGRAMMING = 1013,
    IDS_NOT_MATCH = 1014,
    IDS_CANNOT_ACCEPT_FILE = 1015,
    IDS_NO_ID_FILE = 1016,
    IDS_NOT_MATCH_ID = 1017,
    IDS_ID_STYLE = 1018,
    IDS_NO_FILENAME = 1019,
    IDS_CANNOT_COMMUNICATE_OUTSIDE = 1020,
    IDS_ERASE_ERROR = 1021,
    IDS_ERASE_OK = 1022,
    IDS_PROGRAM_ERROR = 1023,
    IDS_PROGRAM_OK = 1024,
    IDS_COMM_ERROR = 1025,
    IDS_CANNOT_SET_LAST_BAUD = 1026,
    IDS_CANNOT_SET_NEW_BAUD = 1027,
    IDS_TIMEOUT = 1030,
    IDS_CANNOT_SET_9600 = 1033,
    IDS_TITLE = 1034,
    IDS_STOP_DOWNLOADING = 1035,
    IDS_TOO_HIGH_END = 1036,
    IDS_DOWNLOAD_COMPLETED = 1037,
    IDS_DOWNLOAD_NOT_COMPLETED = 1038,
    IDS_COMPANION_NOT_FOUND = 1039,
    IDS_ALREADY_RUNNING = 1108,
    IDS_CONNECTING = 2400,  // "%s" is the port
    IDS_PARTLY_PROGRAMMED = 2401,
    IDS_ID_FIELD_STYLE = 2402,  // "%s" is the field's name
    IDS_ON_PORT = 2403,         // "%s" is the port
    IDS_BLANK_CHECK_OK = 1116,
    IDS_READ_CHECK_OK = 1117,
    IDS_ADDRESS_OUT_OF_RANGE = 2000,
    IDS_TOO_LARGE_DOWNLOAD = 2100,
    IDS_INTERVAL_TOO_LONG = 2300,
};

// The text of a message id for the edition; empty when the edition has none.
std::string LoadString(Edition edition, int id);

// The project's home page, named at the end of message 1039.
inline constexpr const char* kHomePage = "https://kelvane.org/kelvlite";

}  // namespace kv
