#include "platform/net_port.h"

#include <algorithm>

namespace plat {

namespace {

constexpr const char* kRfc2217Scheme = "rfc2217://";
constexpr const char* kRawTcpScheme = "socket://";

std::string Trimmed(const std::string& text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

bool StartsWithNoCase(const std::string& text, const std::string& head) {
    if (text.size() < head.size()) return false;
    return std::equal(head.begin(), head.end(), text.begin(), [](char h, char t) {
        return h == (t >= 'A' && t <= 'Z' ? static_cast<char>(t - 'A' + 'a') : t);
    });
}

// A host name or IPv4 address: letters, digits and . - _
bool IsHostText(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
               c == '_';
    });
}

}  // namespace

NetPortKind NetPortKindOf(const std::string& portName) {
    const std::string name = Trimmed(portName);
    if (StartsWithNoCase(name, kRfc2217Scheme)) return NetPortKind::Rfc2217;
    if (StartsWithNoCase(name, kRawTcpScheme)) return NetPortKind::RawTcp;
    return NetPortKind::None;
}

bool ParseNetPort(const std::string& portName, NetPortAddress& address, std::string& error) {
    address = {};
    const std::string name = Trimmed(portName);
    const NetPortKind kind = NetPortKindOf(name);
    const std::string usage = " (give rfc2217://HOST:PORT or socket://HOST:PORT)";
    if (kind == NetPortKind::None) {
        error = name + ": not a network port" + usage;
        return false;
    }
    std::string rest = name.substr(kind == NetPortKind::Rfc2217 ? 10 : 9);
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    // The last colon: a host name or IPv4 address has none of its own.
    const size_t colon = rest.rfind(':');
    if (colon == std::string::npos) {
        error = name + ": the TCP port is missing" + usage;
        return false;
    }
    const std::string host = rest.substr(0, colon);
    const std::string port = rest.substr(colon + 1);
    if (!IsHostText(host)) {
        error = name + ": \"" + host + "\" is not a host name or address" + usage;
        return false;
    }
    unsigned long number = 0;
    const bool digits = !port.empty() && port.size() <= 5 &&
                        std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) number = std::stoul(port);
    if (!digits || number == 0 || number > 65535) {
        error = name + ": \"" + port + "\" is not a TCP port (1 to 65535)" + usage;
        return false;
    }
    address.kind = kind;
    address.host = host;
    address.port = static_cast<uint16_t>(number);
    error.clear();
    return true;
}

}  // namespace plat
