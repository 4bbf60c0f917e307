// The device behind every port name: a local terminal or a port on a serial
// device server, chosen by the name at each Open, so that the layers above
// never need to know which.
#include <memory>

#include "platform/net_port.h"
#include "platform/serial_device.h"

namespace plat {
namespace {

class PortDevice final : public ISerialDevice {
public:
    PortDevice() : device_(MakeTermiosSerialDevice()) {}

    bool Open(const std::string& portName) override {
        if (device_ && device_->IsOpen()) return false;
        const bool remote = NetPortKindOf(portName) != NetPortKind::None;
        if (remote != remote_) {
            device_ = remote ? MakeNetworkSerialDevice() : MakeTermiosSerialDevice();
            remote_ = remote;
        }
        return device_->Open(portName);
    }
    std::string OpenError() const override { return device_ ? device_->OpenError() : std::string(); }
    bool Close() override { return device_ ? device_->Close() : true; }
    bool IsOpen() const override { return device_ && device_->IsOpen(); }
    size_t Write(const uint8_t* data, size_t count) override { return device_ ? device_->Write(data, count) : 0; }
    size_t ReadQueued(uint8_t* data, size_t count) override { return device_ ? device_->ReadQueued(data, count) : 0; }
    bool Status(QueueStatus& status) override {
        status = {};
        return device_ && device_->Status(status);
    }
    void PurgeInput() override {
        if (device_) device_->PurgeInput();
    }
    bool GetLine(LineSettings& line) override {
        line = {0, 0, 0, 0};
        return device_ && device_->GetLine(line);
    }
    bool SetLine(const LineSettings& line) override { return device_ && device_->SetLine(line); }
    bool RaiseDtr() override { return device_ && device_->RaiseDtr(); }
    bool SetModemLine(ModemLine line, bool on) override { return device_ && device_->SetModemLine(line, on); }
    void WaitForInput(uint32_t queued, uint32_t maxMs) override {
        device_->WaitForInput(queued, maxMs);  // a closed device naps
    }
    bool WaitForCount(uint32_t count, uint32_t queued, uint32_t maxMs) override {
        return device_ && device_->WaitForCount(count, queued, maxMs);
    }
    uint32_t RoundTripMs() const override { return device_ ? device_->RoundTripMs() : 0; }

private:
    std::unique_ptr<ISerialDevice> device_;
    bool remote_ = false;
};

}  // namespace

std::unique_ptr<ISerialDevice> MakeLinuxSerialDevice() { return std::make_unique<PortDevice>(); }

}  // namespace plat
