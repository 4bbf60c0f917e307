#include "tests/composite/composite_rig.h"

#include "link/command.h"

namespace kvtest {

void SimRig::Unlock() {
    kv::CKelvixApp& app = App();
    if (!app.Synchronise()) ADD_FAILURE() << "the simulated chip did not synchronise";
    // Any ID opens a chip whose ID area is erased; the address must be the
    // first ID address of the chip type.
    const uint8_t frame[12] = {kv::kIdCheck, 0xDF, 0xFF, 0x0F, 0x07, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    app.LoadRoutine(kv::kIdCheck);
    app.Channel().Write(frame, sizeof frame);
    if (app.IsLite()) app.WaitAcknowledgement();
    app.Sleep(50);
    if (!chip.IdVerified()) ADD_FAILURE() << "the simulated chip did not take the ID";
    app.idVerified = 1;
}

}  // namespace kvtest
