#pragma once
// One serial device, as the channel needs it: never blocks on reads, reports
// queued input and line errors, and can wait for input without spinning.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// Line settings in the channel's own codes: parity 0 none, 1 odd, 2 even;
// stop bits 0 one, 1 one and a half, 2 two.
struct LineSettings {
    uint32_t baud = 0;
    uint8_t byteSize = 8;
    uint8_t parity = 0;
    uint8_t stopBits = 0;
};

struct QueueStatus {
    uint32_t queued = 0;     // bytes waiting in the input queue
    bool lineError = false;  // framing, overrun, parity, break, or the device went away
    bool gone = false;       // the device went away (unplugged, hung up): it will not come back
};

class ISerialDevice {
public:
    virtual ~ISerialDevice() = default;

    // Opens exclusively; false when the device is missing, busy or refuses.
    virtual bool Open(const std::string& portName) = 0;
    // Why the last Open failed, for the user: the device, the system's
    // reason and what to do about it. Empty after a successful Open.
    virtual std::string OpenError() const { return {}; }
    // Once Status has reported the device gone: why, for the user (the
    // system's reason); empty before.
    virtual std::string GoneReason() const { return {}; }
    // True when closed (or already closed); false when the close failed.
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;

    // One write; the count written, or 0 on failure. A stalled device holds
    // the caller for about 2 s at most; the count then tells what went out.
    virtual size_t Write(const uint8_t* data, size_t count) = 0;
    // Reads up to count bytes that are already queued; never blocks.
    virtual size_t ReadQueued(uint8_t* data, size_t count) = 0;
    // Queued input and the line errors seen since the last call (which clears
    // them). False when the device is not open.
    virtual bool Status(QueueStatus& status) = 0;
    // Clears pending error flags and discards queued input (output untouched).
    virtual void PurgeInput() = 0;

    virtual bool GetLine(LineSettings& line) = 0;
    // False, with the settings in force unchanged, when the rate has no
    // standard code or the driver does not take every field (a
    // pseudo-terminal always runs 8 bits without parity).
    virtual bool SetLine(const LineSettings& line) = 0;
    // Raises DTR; a device that has no modem lines is not an error.
    virtual bool RaiseDtr() = 0;
    // Asserts (`on`) or clears one modem line, for boards whose reset and
    // boot-mode inputs hang on them. False when the device has no such line
    // (a pseudo-terminal) or the change was not taken.
    enum class ModemLine { Dtr, Rts };
    virtual bool SetModemLine(ModemLine line, bool on) {
        (void)line;
        (void)on;
        return false;
    }

    // Blocks for at most maxMs, returning early when input beyond `queued`
    // bytes or a line error may have arrived. Never spins. Calls the wait
    // hook (wait_hook.h) first.
    virtual void WaitForInput(uint32_t queued, uint32_t maxMs) = 0;
    // Blocks for at most maxMs, returning early once `count` bytes are
    // queued, so that the end of a reply is seen when it comes rather than at
    // the next wake-up. False, without waiting, when the device cannot wait
    // for that from `queued` bytes on (or the wait failed): the caller then
    // waits its own way. Never spins.
    virtual bool WaitForCount(uint32_t count, uint32_t queued, uint32_t maxMs) {
        (void)count;
        (void)queued;
        (void)maxMs;
        return false;
    }
    // Milliseconds a reply may take beyond the line's own time: for a port
    // across the network its round trip (measured when it opened) with room
    // for jitter, which every read time-out adds; 0 for a local port.
    virtual uint32_t RoundTripMs() const { return 0; }
};

// "COM1" -> /dev/ttyS0, "/dev/x" -> itself, a network port's URL
// ("rfc2217://HOST:PORT", "socket://HOST:PORT") -> itself, anything else -> /dev/<name>.
// "COM" matches in any case; surrounding blanks are ignored; "" for a blank name.
std::string DevicePathForPort(const std::string& portName);

// The text OpenError gives for an open of `path` that failed with `err`
// (an errno value). For a permission refusal `group` names the device's
// group; for a busy device `holder` names who holds it ("" when unknown).
std::string DescribeOpenFailure(const std::string& path, int err, const std::string& group = "",
                                const std::string& holder = "");

// The device for any port name: picks at Open the termios device for a
// local port or the network device for a URL.
std::unique_ptr<ISerialDevice> MakeLinuxSerialDevice();
// The termios implementation alone.
std::unique_ptr<ISerialDevice> MakeTermiosSerialDevice();
// A port on a serial device server (net_port.h names the URL forms).
std::unique_ptr<ISerialDevice> MakeNetworkSerialDevice();

}  // namespace plat
