#include "image/program_file_name.h"

namespace kv {

std::string_view ProgramFileEnding(std::string_view path) {
    for (std::string_view ending : {".mot", ".s2", ".s", ".srec", ".s19", ".s28", ".s37", ".hex"})
        if (path.ends_with(ending)) return ending;
    return {};
}

}  // namespace kv
