#include "link/transport.h"

#include "link/link.h"
#include "link/protocol.h"

namespace kv {

namespace {

class CDirectTransport : public CTransport {
public:
    explicit CDirectTransport(CLink& link) : link_(link) {}
    bool Prepare(uint8_t) override { return true; }
    bool Conclude(uint32_t) override { return true; }
    bool FrameTaken(uint32_t unacknowledgedPauseMs) override {
        if (unacknowledgedPauseMs) link_.Sleep(unacknowledgedPauseMs);
        return true;
    }
    bool ClearStatus() override { return Write({kClearStatus}); }
    bool EraseAll() override {
        Write({kErasePrefix});
        link_.Sleep(kSettleMs);
        link_.Channel().Write(kEraseAllFrame.data(), static_cast<uint32_t>(kEraseAllFrame.size()));
        return true;
    }
    bool ErasesByBlock() const override { return true; }

private:
    bool Write(std::initializer_list<uint8_t> bytes) {
        link_.Channel().Write(bytes.begin(), static_cast<uint32_t>(bytes.size()));
        return true;
    }
    CLink& link_;
};

class CSequencerTransport : public CTransport {
public:
    explicit CSequencerTransport(CLink& link) : link_(link) {}
    bool Prepare(uint8_t code) override { return link_.LoadRoutine(code) != 0; }
    bool Conclude(uint32_t pauseAfterMs) override {
        const bool ok = link_.LoadRoutine(kHandshake) != 0;
        if (pauseAfterMs) link_.Sleep(pauseAfterMs);
        return ok;
    }
    bool FrameTaken(uint32_t) override { return link_.WaitAcknowledgement() != 0; }
    bool ClearStatus() override { return link_.LoadRoutine(kClearStatus) != 0; }
    bool EraseAll() override { return link_.LoadRoutine(kEraseAll) != 0; }
    bool ErasesByBlock() const override { return false; }

private:
    CLink& link_;
};

}  // namespace

std::unique_ptr<CTransport> MakeDirectTransport(CLink& link) { return std::make_unique<CDirectTransport>(link); }
std::unique_ptr<CTransport> MakeSequencerTransport(CLink& link) { return std::make_unique<CSequencerTransport>(link); }

}  // namespace kv
