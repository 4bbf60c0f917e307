#include "tests/support/sim_peer.h"

namespace kvtest {

SimPeer::SimPeer(FakeSerialDevice& device, sim::Chip& chip) : chip_(chip) {
    device.SetResponder([this](FakeSerialDevice& dev, const std::vector<uint8_t>& block) {
        Deliver(dev, chip_.Feed(block, dev.Line().baud, dev.Clock().Now() * 1000));
    });
    device.SetTimerHook([this](FakeSerialDevice& dev, uint64_t untilMs) {
        auto next = chip_.NextTimerUs();
        if (next && *next <= untilMs * 1000) Deliver(dev, chip_.Advance(untilMs * 1000));
    });
    device.SetLineHook([this](FakeSerialDevice& dev, plat::ISerialDevice::ModemLine line, bool on) {
        chip_.SetLine(line == plat::ISerialDevice::ModemLine::Dtr ? sim::Line::Dtr : sim::Line::Rts, on,
                      dev.Clock().Now() * 1000);
    });
}

void SimPeer::Deliver(FakeSerialDevice& device, const std::vector<sim::TimedByte>& bytes) {
    for (const auto& b : bytes) {
        device.Deliver({b.value}, (b.dueUs + 999) / 1000);
        answered_.push_back(b.value);
    }
}

}  // namespace kvtest
