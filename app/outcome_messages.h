#pragma once
// What the dialog programs show for an outcome: the message table's text
// (or the text built from it) and the icon, or nothing.
#include <optional>
#include <string>

#include "link/outcome.h"
#include "res/edition.h"
#include "toolkit/ui.h"

namespace kv {

struct OutcomeMessage {
    std::string text;
    tk::Icon icon = tk::Icon::None;
};

// Nothing where the dialog programs stay silent: a lost reply (the recovery
// has spoken), a cancelled check, kelvane's checks that passed, steps of no
// news.
std::optional<OutcomeMessage> MessageFor(Edition edition, const Outcome& outcome);

}  // namespace kv
