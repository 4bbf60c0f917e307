#pragma once
// The command line of vireo-sim.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/chip_options.h"

namespace sim {

struct ServerConfig {
    Options chip;
    std::string firmPath;  // empty: firm.mot beside the program, then res/firm.mot
    std::string linkPath;  // symlink to the pty slave, removed at exit
    std::string logPath;   // received bytes, one line each
    std::string loadPath;  // initial flash image (S-records)
    std::string dumpPath;  // flash at exit: binary when it ends in ".bin", else S-records
    uint32_t dumpFirst = 0;
    uint32_t dumpLast = 0xFFFFFF;
    bool dumpRangeGiven = false;
    std::string downloadPath;  // the last download's bytes at exit
    // --rfc2217 [HOST:]PORT: served as an RFC 2217 server on TCP rather than
    // on a pseudo-terminal; port 0 picks a free one.
    bool rfc2217 = false;
    std::string listenHost = "127.0.0.1";
    uint16_t listenPort = 0;
    bool help = false;
    bool version = false;  // "--version" with no text: print the program's version
};

// False with a message on a bad command line.
bool ParseServerArgs(const std::vector<std::string>& args, ServerConfig& config, std::string& error);
std::string ServerUsage();

}  // namespace sim
