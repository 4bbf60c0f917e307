#pragma once
// Loads a program file into the application's memory image and tells the
// user when the file is refused or cannot be read.
#include <string>

namespace kv {

class CKelvixApp;

// One user action that may load the same file more than once (the ID check's
// OK, the file selection's OK): the refusal is told only the first time.
struct LoadNotice {
    bool told = false;
};

// An Intel HEX file (its first record begins with ":") is read whole or
// refused: "Can not accept this file." and "Line <n>: <reason>", stop icon.
// Any other file is read as S-records:
// runs CMotFile::LoadFile on the application's image and answers its result
// (1 when the file was read up to its termination record, else 0); the
// image's LastStatus says why a load failed. A refused file leaves the image
// empty: what was read before the fault never reaches the chip. Messages
// (caption "Kelvane"):
// - a malformed data record: "Can not accept this file.", no icon;
// - a line that is no S-record, or no termination record: "Can not accept
//   this file.", stop icon;
// - a file that cannot be opened: "<path> was not found." or "<path> could
//   not be read.", exclamation icon.
// With `notice`, nothing is shown once notice->told is set, and it is set
// when a message was shown.
int LoadProgramFile(CKelvixApp& app, const std::string& path, LoadNotice* notice = nullptr);

// The file-error text for a file that could not be opened.
std::string FileErrorText(const std::string& path);

}  // namespace kv
