#include "cli/traced_device.h"

#include <cstdio>
#include <string>

namespace kv::cli {

namespace {

constexpr size_t kShownBytes = 16;  // a page frame is shown by its head and its length

class CTracedDevice : public plat::ISerialDevice {
public:
    CTracedDevice(std::unique_ptr<plat::ISerialDevice> device, plat::IClock& clock, std::ostream& trace)
        : device_(std::move(device)), clock_(clock), trace_(trace), began_(clock.TickMs()) {}

    bool Open(const std::string& portName) override {
        const bool opened = device_->Open(portName);
        Line(std::string(opened ? "open " : "cannot open ") + portName);
        return opened;
    }
    bool Close() override { return device_->Close(); }
    bool IsOpen() const override { return device_->IsOpen(); }
    size_t Write(const uint8_t* data, size_t count) override {
        const size_t written = device_->Write(data, count);
        Line("> " + Bytes(data, written) + (written < count ? " (cut short)" : ""));
        return written;
    }
    size_t ReadQueued(uint8_t* data, size_t count) override {
        const size_t read = device_->ReadQueued(data, count);
        if (read != 0) Line("< " + Bytes(data, read));
        return read;
    }
    bool Status(plat::QueueStatus& status) override { return device_->Status(status); }
    void PurgeInput() override { device_->PurgeInput(); }
    bool GetLine(plat::LineSettings& line) override { return device_->GetLine(line); }
    bool SetLine(const plat::LineSettings& line) override {
        const bool set = device_->SetLine(line);
        Line("line " + std::to_string(line.baud) + " bps" + (set ? "" : " (refused)"));
        return set;
    }
    bool RaiseDtr() override { return device_->RaiseDtr(); }
    bool SetModemLine(ModemLine line, bool on) override { return device_->SetModemLine(line, on); }
    void WaitForInput(uint32_t queued, uint32_t maxMs) override { device_->WaitForInput(queued, maxMs); }
    bool WaitForCount(uint32_t count, uint32_t queued, uint32_t maxMs) override {
        return device_->WaitForCount(count, queued, maxMs);
    }
    uint32_t RoundTripMs() const override { return device_->RoundTripMs(); }

private:
    static std::string Bytes(const uint8_t* data, size_t count) {
        std::string text;
        char hex[4];
        for (size_t i = 0; i < count && i < kShownBytes; ++i) {
            std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", data[i]);
            text += hex;
        }
        if (count > kShownBytes) text += " ... (" + std::to_string(count) + " bytes)";
        return text;
    }

    void Line(const std::string& text) { trace_ << TraceStamp(clock_.TickMs() - began_) << text << "\n"; }

    std::unique_ptr<plat::ISerialDevice> device_;
    plat::IClock& clock_;
    std::ostream& trace_;
    uint32_t began_;
};

}  // namespace

std::string TraceStamp(uint32_t ms) {
    char stamp[24];
    std::snprintf(stamp, sizeof stamp, "%6u.%03u ", ms / 1000, ms % 1000);
    return stamp;
}

std::unique_ptr<plat::ISerialDevice> MakeTracedDevice(std::unique_ptr<plat::ISerialDevice> device, plat::IClock& clock,
                                                      std::ostream& trace) {
    return std::make_unique<CTracedDevice>(std::move(device), clock, trace);
}

}  // namespace kv::cli
