#pragma once
// The names a program file goes by, for the file dialogs and the ID file
// beside it.
#include <string_view>

namespace kv {

// The ending of a program file name, case-sensitive: the S-record names
// ".mot", ".s2", ".s" and those kelvane-cli reads as well (".srec", ".s19",
// ".s28", ".s37", ".hex"); empty for any other name.
std::string_view ProgramFileEnding(std::string_view path);

}  // namespace kv
