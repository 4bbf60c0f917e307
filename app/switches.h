#pragma once
// The start-up switches "+a"/"-a" (erase variant) and "+Z"/"-Z" (first
// synchronisation byte), taken from the command line into the settings file.
#include <string>

namespace kv {

class CKelvixApp;

// Searches the whole command line, program path included, so a path that
// contains a switch text sets that switch. Where both texts of a pair stand,
// the second ("-a", "-Z") wins. Both values are written back, changed or not;
// kelvlite neither reads nor writes "First_data".
void StoreSwitches(CKelvixApp& app, const std::string& commandLine);

}  // namespace kv
