#include "platform/port_match.h"

#include <glob.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/serial_device.h"

namespace plat {

std::vector<std::string> MatchPorts(const std::string& pattern) {
    const std::string full = pattern.find('/') == std::string::npos ? "/dev/" + pattern : pattern;
    glob_t found{};
    std::vector<std::string> paths;
    if (glob(full.c_str(), 0, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
    }
    globfree(&found);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::string PortIdentity(const std::string& portName) {
    const std::string path = DevicePathForPort(portName);
    struct stat st {};
    if (!path.empty() && ::stat(path.c_str(), &st) == 0) {
        if (S_ISCHR(st.st_mode))
            return "device " + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
        return "file " + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    }
    std::error_code ec;
    const auto resolved = std::filesystem::weakly_canonical(path, ec);
    return "path " + (ec ? std::filesystem::path(path).lexically_normal().string() : resolved.string());
}

bool SamePort(const std::string& a, const std::string& b) { return PortIdentity(a) == PortIdentity(b); }

std::string StableSerialName(const std::string& portName, const std::string& byIdDir) {
    const std::string identity = PortIdentity(portName);
    if (identity.rfind("device ", 0) != 0) return "";  // only a device has a name there
    std::error_code ec;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().string());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        if (PortIdentity(name) == identity) return name;
    return "";
}

int TerminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

}  // namespace plat
