#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/process.h"

namespace plat {
namespace {

class LinuxProcess final : public IProcess {
public:
    std::string SelfPath() override {
        std::string buf(256, '\0');
        for (;;) {
            ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
            if (n < 0) return {};
            if (static_cast<size_t>(n) < buf.size()) {
                buf.resize(static_cast<size_t>(n));
                return buf;
            }
            if (buf.size() >= 65536) return {};
            buf.resize(buf.size() * 2);
        }
    }

    std::string CurrentDir() override {
        std::string buf(256, '\0');
        for (;;) {
            if (getcwd(buf.data(), buf.size())) {
                buf.resize(std::char_traits<char>::length(buf.c_str()));
                return buf;
            }
            if (errno != ERANGE || buf.size() >= 65536) return {};
            buf.resize(buf.size() * 2);
        }
    }

    bool IsFile(const std::string& path) override {
        struct stat st {};
        return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }

    std::optional<std::string> Env(const std::string& name) override {
        const char* v = std::getenv(name.c_str());
        if (!v) return std::nullopt;
        return std::string(v);
    }

    bool ExecReplace(const std::string& path, const std::vector<std::string>& argv) override {
        std::vector<char*> args;
        std::string arg0 = path;
        if (argv.empty()) args.push_back(arg0.data());
        std::vector<std::string> copies = argv;
        for (auto& a : copies) args.push_back(a.data());
        args.push_back(nullptr);
        // Whatever is still buffered would be lost with the old process image.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        execv(path.c_str(), args.data());
        return false;
    }

    std::vector<SerialAdapter> SerialPortsPresent() override { return ListSerialAdapters(); }
};

}  // namespace

std::unique_ptr<IProcess> MakeLinuxProcess() { return std::make_unique<LinuxProcess>(); }

bool SetEnvironment(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

}  // namespace plat
