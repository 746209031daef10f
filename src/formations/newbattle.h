// Starting a battle against the computer: the local player holds seat 0,
// the computer seats 1, 2 and 3.
#pragma once

#include "core/qipan.h"

namespace jq {

// The command "人机对奕". In a LAN battle it first asks whether to reset
// it; any answer but OK leaves everything as it was and returns false.
// Otherwise it stops the computer player, leaves the LAN battle and any
// replay, resets the battle (steps, records, selection, eliminated pieces,
// running options), draws a formation per seat from the database (or deals
// a legal one), lays the board out seen from seat 0, draws the first seat,
// opens the deployment phase in play mode and seeds the computer's
// beliefs. Returns true.
bool NewBattleAgainstComputer(GameState& g);

// The command "其它阵法" during a deployment: seat 0 gets another
// formation from the database (all four draws are made again, so every
// zfChosenIndex changes) and its pieces are redrawn face up. Nothing
// happens outside a deployment phase.
void OtherFormationForSeat0(GameState& g);

}  // namespace jq
