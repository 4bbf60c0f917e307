#pragma once
// Port names that reach a serial device server across the network:
// "rfc2217://HOST:PORT" (telnet with the COM-PORT option: the server's line
// follows every setting) and "socket://HOST:PORT" (raw TCP: the server's
// line stays at the rate it was set up with, kRawTcpBaud).
#include <cstdint>
#include <string>

namespace plat {

enum class NetPortKind { None, Rfc2217, RawTcp };

struct NetPortAddress {
    NetPortKind kind = NetPortKind::None;
    std::string host;  // a host name or an IPv4 address
    uint16_t port = 0;
};

// The rate a raw TCP port is taken to run at: the boot loader's own.
constexpr uint32_t kRawTcpBaud = 9600;

// The kind a port name's scheme gives ("rfc2217://", "socket://", in any
// case, surrounding blanks ignored); None for a local device's name.
NetPortKind NetPortKindOf(const std::string& portName);

// Splits a network port's URL; false with a message for the user when it is
// malformed. An IPv6 host goes by its name (a '[' would read as a pattern
// where several ports are given).
bool ParseNetPort(const std::string& portName, NetPortAddress& address, std::string& error);

}  // namespace plat
