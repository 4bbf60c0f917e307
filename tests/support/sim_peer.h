#pragma once
// Wires a simulated chip to a FakeSerialDevice: what the program writes goes
// to the chip at the fake's line rate and virtual time, and the chip's answer
// becomes readable when its last bit has arrived.
#include "sim/chip.h"
#include "tests/support/fake_serial_device.h"

namespace kvtest {

class SimPeer {
public:
    // Installs the responder and the timer hook; both chip and device must
    // outlive the peer's use.
    SimPeer(FakeSerialDevice& device, sim::Chip& chip);

    sim::Chip& Chip() { return chip_; }
    // Bytes the chip has sent so far.
    const std::vector<uint8_t>& Answered() const { return answered_; }

private:
    void Deliver(FakeSerialDevice& device, const std::vector<sim::TimedByte>& bytes);

    sim::Chip& chip_;
    std::vector<uint8_t> answered_;
};

}  // namespace kvtest
