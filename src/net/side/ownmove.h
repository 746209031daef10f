// The own seat played by the computer player on the main thread, as a
// person's seat is played: for a side without a player at the board.
#pragma once

#include "ai/workspace.h"
#include "core/qipan.h"

namespace jq::net {

// When the own seat is to move in a running LAN battle and its move may be
// sent, chooses it at the options' level and sends it as "MoveQz" in the
// own view; with no legal move the own seat gives up. True when a move went
// out.
bool SendOwnComputerMove(GameState& g, AiWorkspace& work);

}  // namespace jq::net
