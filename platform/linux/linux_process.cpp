#include <dirent.h>
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

// "ttyUSB2" before "ttyUSB10": runs of digits compare by value.
bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && a[ei] == '0') ++ei;
            while (ej < b.size() && b[ej] == '0') ++ej;
            size_t si = ei, sj = ej;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0) return c < 0;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

// Entries of `dir` whose names begin with `prefix`, as full paths, in natural order.
std::vector<std::string> ListDir(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (auto& n : names) n = dir + "/" + n;
    return names;
}

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

    std::vector<std::string> SerialPortsPresent() override {
        std::vector<std::string> ports = ListDir("/dev", "ttyUSB");
        auto acm = ListDir("/dev", "ttyACM");
        auto byId = ListDir("/dev/serial/by-id", "");
        ports.insert(ports.end(), acm.begin(), acm.end());
        ports.insert(ports.end(), byId.begin(), byId.end());
        return ports;
    }
};

}  // namespace

std::unique_ptr<IProcess> MakeLinuxProcess() { return std::make_unique<LinuxProcess>(); }

bool SetEnvironment(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

}  // namespace plat
