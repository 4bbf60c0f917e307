#pragma once
// The ID check exchange: the chip's ID state, the ID check frame and the
// status that tells whether the chip took the ID. The dialog programs' ID
// check and kelvane-cli's unlock both run it.
#include <array>
#include <string>

#include "link/link.h"

namespace kv {

// The ID bytes of the ID check's seven texts: two hex digits each; any other
// text sends 0xFF.
IdBytes IdBytesOf(const std::array<std::string, 7>& texts);

// Writes an ID check frame and waits for the chip to take it. False when
// kelvlite's sequencer did not acknowledge (the recovery has run).
bool SendIdCheck(CLink& link, const IdFrame& frame);

// The status read before an ID check (kelvlite pauses first): Ok with the
// chip's ID state, or LinkLost when it gave no status (the recovery has run).
Outcome ReadIdState(CLink& link, IdState& state);

// The frame, then the status read that tells: Ok (the ID is verified),
// IdRefused (stale input dropped, the flag cleared) or LinkLost.
Outcome CheckId(CLink& link, const IdFrame& frame);

// The MCU type that the image's data range suggests: data up to the top of
// the address space is Vireo/H, up to 0x00FFFF Wren, anything else Vireo/M.
int McuTypeOf(const CMotFile& image);
int McuTypeOfImage(CLink& link);

}  // namespace kv
