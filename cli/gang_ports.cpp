#include "cli/gang_ports.h"

#include <map>

#include "cli/exit_codes.h"
#include "platform/port_match.h"

namespace kv::cli {

PortList ExpandPorts(const std::vector<PortEntry>& entries, const PortMatcher& match) {
    PortList list;
    std::map<std::string, std::string> seen;  // what the name opens -> the name it was given as
    const auto add = [&](const PortEntry& entry) {
        const auto [at, fresh] = seen.emplace(plat::PortIdentity(entry.name), entry.name);
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
