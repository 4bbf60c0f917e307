// What the user is told when a serial port cannot be opened, and who holds a
// busy one.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <grp.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/linux/open_failure.h"
#include "platform/serial_device.h"

namespace plat {

std::string DescribeOpenFailure(const std::string& path, int err, const std::string& group, const std::string& holder) {
    const std::string reason = std::strerror(err);
    switch (err) {
        case EACCES:
        case EPERM: {
            const std::string g = group.empty() ? "dialout" : group;
            return path + ": " + reason + ".\nSerial ports belong to the group \"" + g +
                   "\": add yourself with\n  sudo usermod -aG " + g + " $USER\nthen log out and in again.";
        }
        case EBUSY:
            return path + ": " + reason + ".\nAnother program has the port open in exclusive mode (TIOCEXCL)" +
                   (holder.empty() ? "" : ": " + holder) + ". Close it and start again.";
        case EWOULDBLOCK:
            return path + ": the port is in use.\nAnother program holds its lock (flock on " + path + ")" +
                   (holder.empty() ? "" : ": " + holder) + ". Close it and start again.";
        case ENOTTY: return path + ": not a serial port.";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return path + ": " + reason +
                   ".\nIs the adapter plugged in? The ports present are listed in /dev "
                   "(ttyS*, ttyUSB*, ttyACM*) and /dev/serial/by-id.";
        default: return path + ": " + reason + ".";
    }
}

std::string DeviceGroup(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    const group* g = getgrgid(st.st_gid);
    return g ? g->gr_name : std::string();
}

std::string LockHolder(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) return {};
    // /proc/locks names each lock's process and file as
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:140 0 EOF".
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        if (!(fields >> number >> kind)) continue;
        if (kind == "->") fields >> kind;  // a waiter
        if (!(fields >> mode >> access >> pid >> where) || where != file) continue;
        std::string name;
        std::ifstream(("/proc/" + pid + "/comm").c_str()) >> name;
        return "process " + pid + (name.empty() ? "" : " (" + name + ")");
    }
    return {};
}

}  // namespace plat
