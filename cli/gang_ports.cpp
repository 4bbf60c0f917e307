#include "cli/gang_ports.h"

#include <filesystem>
#include <map>
#include <system_error>

#include "cli/exit_codes.h"

namespace kv::cli {

namespace {

// What the port is on the machine: the device a path (or a link) leads to.
std::string Identity(const std::string& name) {
    if (name.find('/') == std::string::npos) return "/dev/" + name;
    std::error_code ec;
    const auto real = std::filesystem::canonical(name, ec);
    return ec ? name : real.string();
}

}  // namespace

PortList ExpandPorts(const std::vector<PortEntry>& entries, const PortMatcher& match) {
    PortList list;
    std::map<std::string, std::string> seen;  // identity -> the name it was given as
    const auto add = [&](const PortEntry& entry) {
        const auto [at, fresh] = seen.emplace(Identity(entry.name), entry.name);
        if (fresh) {
            list.ports.push_back(entry);
            return true;
        }
        list.code = kExitUsage;
        list.error = "--port: " + at->second + " and " + entry.name + " are the same port";
        return false;
    };
    for (const PortEntry& entry : entries) {
        if (!entry.IsPattern()) {
            if (!add(entry)) return list;
            continue;
        }
        const std::vector<std::string> names = match(entry.name);
        if (names.empty()) {
            list.code = kExitPort;
            list.error = "--port: no port matches \"" + entry.name + "\"";
            return list;
        }
        for (const std::string& name : names)
            if (!add(PortEntry{name, entry.id})) return list;
    }
    return list;
}

}  // namespace kv::cli
