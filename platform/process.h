#pragma once
// The running process and starting another program in its place.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial_ports.h"

namespace plat {

class IProcess {
public:
    virtual ~IProcess() = default;
    // Absolute path of the running program's own file.
    virtual std::string SelfPath() = 0;
    virtual std::string CurrentDir() = 0;
    virtual bool IsFile(const std::string& path) = 0;
    virtual std::optional<std::string> Env(const std::string& name) = 0;
    // Replaces the running process (environment kept). Returns only on failure.
    virtual bool ExecReplace(const std::string& path, const std::vector<std::string>& argv) = 0;
    // The serial adapters present on the machine (ListSerialAdapters).
    virtual std::vector<SerialAdapter> SerialPortsPresent() = 0;
};

std::unique_ptr<IProcess> MakeLinuxProcess();

// Sets a variable of the running process's environment, which a program
// started by ExecReplace inherits. False when the name or value is refused.
bool SetEnvironment(const std::string& name, const std::string& value);

}  // namespace plat
