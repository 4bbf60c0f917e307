#include "image/text_file.h"

#include <filesystem>
#include <system_error>

namespace kv {

bool IsRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

bool OpenRegularFile(const std::string& path, std::ifstream& in) {
    if (!IsRegularFile(path)) return false;
    in.open(path, std::ios::binary);
    return static_cast<bool>(in);
}

}  // namespace kv
