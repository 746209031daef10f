#include "play/standins.h"

namespace jq::standin {

void ReplayNextSteps(GameState& g) { g.clickStepCount = 1; }

}  // namespace jq::standin
