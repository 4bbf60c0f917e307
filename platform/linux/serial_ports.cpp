#include "platform/serial_ports.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <system_error>

namespace plat {

namespace {

namespace fs = std::filesystem;

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

std::vector<fs::path> Entries(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) out.push_back(it->path());
    return out;
}

bool UsbTtyName(const std::string& name) { return name.starts_with("ttyUSB") || name.starts_with("ttyACM"); }

}  // namespace

std::vector<SerialAdapter> ListSerialAdapters(const std::string& root) {
    std::map<std::string, SerialAdapter> found;
    auto add = [&found](const std::string& device, bool usb) -> SerialAdapter& {
        SerialAdapter& a = found[device];
        a.device = device;
        a.usb = a.usb || usb;
        return a;
    };
    std::error_code ec;
    // A tty with a device behind it is hardware; on a USB bus it is an adapter.
    for (const fs::path& tty : Entries(root + "/sys/class/tty")) {
        const fs::path device = fs::canonical(tty / "device", ec);
        if (ec) continue;
        const std::string name = tty.filename().string();
        const bool usb = device.string().find("/usb") != std::string::npos;
        if (usb || UsbTtyName(name)) add("/dev/" + name, true);
    }
    // The device nodes, where no /sys is to be seen (containers).
    for (const fs::path& node : Entries(root + "/dev"))
        if (UsbTtyName(node.filename().string())) add("/dev/" + node.filename().string(), true);
    // The stable names udev gives each adapter, beside their device.
    const fs::path devRoot = fs::weakly_canonical(fs::path(root + "/dev"), ec);
    for (const fs::path& link : Entries(root + "/dev/serial/by-id")) {
        const fs::path target = fs::canonical(link, ec);
        if (ec) continue;
        const std::string rel = target.lexically_relative(devRoot).string();
        if (rel.empty() || rel.starts_with("..")) continue;
        add("/dev/" + rel, true).byId = "/dev/serial/by-id/" + link.filename().string();
    }
    std::vector<SerialAdapter> adapters;
    adapters.reserve(found.size());
    for (auto& [device, adapter] : found) adapters.push_back(adapter);
    std::sort(adapters.begin(), adapters.end(),
              [](const SerialAdapter& a, const SerialAdapter& b) { return NaturalLess(a.device, b.device); });
    return adapters;
}

}  // namespace plat
