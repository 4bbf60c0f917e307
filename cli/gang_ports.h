#pragma once
// The ports of a run on several boards: every --port, patterns matched
// against the ports present, each port once.
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace kv::cli {

struct PortList {
    std::vector<PortEntry> ports;  // no patterns left; a pattern's ports carry its ID
    int code = 0;                  // 0, or the exit status of the refusal
    std::string error;
};

// The paths a pattern matches, sorted (plat::MatchPorts on the machine).
using PortMatcher = std::function<std::vector<std::string>(const std::string& pattern)>;

// Refuses a pattern that matches nothing, and a port named twice (also
// through a link to it): two runs on one port would garble each other.
PortList ExpandPorts(const std::vector<PortEntry>& entries, const PortMatcher& match);

}  // namespace kv::cli
