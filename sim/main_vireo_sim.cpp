// vireo-sim: a simulated Vireo chip on a pseudo-terminal or an RFC 2217 server.
#include <iostream>
#include <string>
#include <vector>

#include "kelvane_version.h"
#include "sim/pty_server.h"
#include "sim/rfc2217_server.h"
#include "sim/server_config.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::ServerConfig config;
    std::string error;
    if (!sim::ParseServerArgs(args, config, error)) {
        std::cerr << "vireo-sim: " << error << "\nUsage: vireo-sim [options]\nTry 'vireo-sim --help'.\n";
        return 2;
    }
    if (config.help) {
        std::cout << sim::ServerUsage();
        return 0;
    }
    if (config.version) {
        std::cout << "vireo-sim (Kelvane) " << KELVANE_VERSION << "\n";
        return 0;
    }
    if (config.rfc2217) return sim::RunRfc2217Server(std::move(config), std::cout, std::cerr);
    return sim::RunPtyServer(std::move(config), std::cout, std::cerr);
}
