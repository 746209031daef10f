// Carrying out one decided turn: an ordinary move, a surrender or a time-out.
#pragma once

#include "core/qipan.h"

namespace jq {

// Result of ExecuteMove.
enum class MoveResult {
    kDone = 0,
    kRefused = 1,  // not a legal move in this position; nothing changed
};

// The one door for every move: hand input, the computer player, replay and
// relayed LAN moves. Coordinates are grid points; `outcome` is the combat
// outcome (1 for an empty target) or, for the special steps, the seat.
MoveResult ExecuteMove(GameState& g, int fromPiece, int toPiece, int x1, int y1, int x2, int y2, int outcome);

// Adds one to the step counter (held at 510) and shows it.
void AdvanceStepCount(GameState& g);

}  // namespace jq
