// Services of the LAN battle that the turn loop calls. Each does only what
// the turn loop relies on until its own part of the program takes it over.
#pragma once

#include "core/qipan.h"

namespace jq::standin {

// Leaves the LAN battle: closes the connection to the host, puts the
// reason's text into the status bar and ends the battle. Reasons: 0 too
// many time-outs, 1 refused by the host, 2 the host is silent, 6 left from
// the wait dialog; any other value is an unknown fault.
void AbortNetBattle(GameState& g, int reason);

}  // namespace jq::standin
