// A service of replay that the turn loop calls. It does only what the turn
// loop relies on until replay takes it over.
#pragma once

#include "core/qipan.h"

namespace jq::standin {

// The step button: carries out `clickStepCount` recorded steps forward.
void ReplayNextSteps(GameState& g);

}  // namespace jq::standin
