// The upper levels' attack on an enemy flag whose place the computer
// believes it knows: the best attack path of an own piece, around or
// through what stands in the way.
#pragma once

#include "ai/workspace.h"

namespace jq {

// Outcomes of PlanFlagAttack.
enum FlagAttackStatus : int32_t {
    kAttackPlanned = 0,        // the next move of the plan is in `out`
    kAttackNoPath = -1,        // no relation qualifies, none barred by an enemy
    kAttackTooManyStages = -2, // four retargetings without a qualifying path
    kAttackOwnPieceStuck = -4, // an own piece on the path can neither attack nor step aside
    kAttackStopped = -8,       // a stop was asked for
};

// Plans the attack of seat `me` on the enemy piece `target` (the believed
// flag), worth `value`. Relations are scored with the stake value x
// styleCoefAttack^stage; a relation qualifies when its score is positive
// and its survival chance clears the caution level (or, with no enemy piece
// in its way, the caution level for its mover's rank). When every good path
// is barred, the first enemy piece in the way becomes the target (stage + 1,
// at most four stages). An own piece on the chosen path first attacks
// something itself, when it can do so well, or steps aside. On success
// `out` is the planned move with its score; when the own piece can do
// neither, `out` holds only the path's mover and that piece as target.
int PlanFlagAttack(AiWorkspace& w, int me, int target, double value, MoveCand& out, const PieceTable& pieces);

}  // namespace jq
