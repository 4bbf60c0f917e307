#include "platform/port_match.h"

#include <glob.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

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

int TerminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

}  // namespace plat
