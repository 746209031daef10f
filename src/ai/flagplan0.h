// The basic level's march on an enemy flag: the next move of the nearest
// own piece expected to win against the target, around or through what
// stands in the way.
#pragma once

#include "ai/workspace.h"

namespace jq {

// Writes into `out` the next move of a planned attack of `seat` on the piece
// `target` (the believed flag), or a record with mover -2 when there is no
// plan: no own piece expected to win, no path of at most 6 moves, or no way
// past the pieces on it. A piece in the way that some own piece can beat
// becomes the target instead (at most three times).
void PlanFlagAttackBasic(AiWorkspace& w, MoveCand& out, int seat, int target, const PieceTable& pieces);

// A move of `piece` onto an empty point that none of the given moves passes
// through or ends on; mover -2 when there is none.
void FindSideStepMove(AiWorkspace& w, MoveCand& out, int piece, int moveCount, const MoveCand* moves,
                      const PieceTable& pieces);

}  // namespace jq
