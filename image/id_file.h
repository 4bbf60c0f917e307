#pragma once
// The ID file that accompanies a program file: lines that begin with one of
// the seven ID byte addresses of the MCU type carry that byte in their last
// two characters. MCU types: 0 Vireo/M, 1 Vireo/H, 2 Wren. A line longer
// than 1024 characters or with a control character other than a tab in it
// is malformed and ignored. Only a regular file counts as an ID file.
#include <array>
#include <iosfwd>
#include <optional>
#include <string>

namespace kv {

// The ID byte addresses of an MCU type as the ID file writes them; a type
// other than 1 or 2 uses those of type 0.
const std::array<const char*, 7>& IdAddressTexts(int mcuType);

// "Vireo/M", "Vireo/H", "Wren"; a type other than 1 or 2 is a Vireo/M.
const char* McuTypeName(int mcuType);

// The dialog programs' ID file: the program path with its program file
// ending (ProgramFileEnding) or ".btp" replaced by ".id", case-sensitive;
// empty when the path has none of them.
std::string IdFilePathFor(const std::string& programPath);

// kelvane-cli's: the ".id" file beside any program file, its last extension
// replaced ("fw.hex" -> "fw.id") or ".id" appended when it has none; empty
// for standard input ("-") and for a program file that is itself ".id".
std::string IdFileBeside(const std::string& programPath);

// First pass: a line beginning "FFFFDF" makes the type 1, else one beginning
// "FFD4" makes it 2; the last such line wins, no such line keeps mcuType.
// False when the file cannot be opened or read (mcuType unchanged).
bool ScanIdFileType(const std::string& path, int& mcuType);
void ScanIdFileType(std::istream& in, int& mcuType);

// Second pass: each line whose first k characters (5, 6 or 4 for types 0, 1
// and 2) equal ID address j sets ids[j] to the line's last two characters
// other than trailing blanks; IDs without such a line keep their content.
// False when the file cannot be opened or read (ids unchanged). `lines`
// gets the line number that set each ID.
bool ReadIdFileBytes(const std::string& path, int mcuType, std::array<std::string, 7>& ids);
void ReadIdFileBytes(std::istream& in, int mcuType, std::array<std::optional<std::string>, 7>& ids,
                     std::array<unsigned, 7>* lines = nullptr);

// Both passes over one opening of the file: the type found from startType
// and the IDs that a line set (absent where none did).
struct IdFileScan {
    bool opened = false;
    int mcuType = 0;
    std::array<std::optional<std::string>, 7> ids;
    std::array<unsigned, 7> lines{};  // the 1-based line that set each ID; 0 where none did
};
IdFileScan ReadIdFile(const std::string& path, int startType);

// Empty when the scan holds each of the seven ID bytes as two hexadecimal
// digits; otherwise one line naming the file and, where one is to blame,
// its line: "fw.id: line 3: ID byte 2 \"1G\" is not two hexadecimal digits",
// "fw.id: no line for ID byte 4 (FFFEF) of the Vireo/M".
std::string IdFileFault(const std::string& path, const IdFileScan& scan);

}  // namespace kv
