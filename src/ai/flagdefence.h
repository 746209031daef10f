// The top level's defence of its own flag: when an enemy piece can reach the
// flag in a few moves with a fair chance, an own piece is sent to meet it on
// its way in time.
#pragma once

#include "ai/workspace.h"

namespace jq {

// Outcomes of PlanFlagDefence. The "near" ones (threat at most two moves
// away) make the chooser favour every capture.
enum FlagDefenceStatus : int32_t {
    kDefencePlanned = 0,        // a counter move is in `out`
    kDefenceNoThreat = -2,      // the best threat is long or unlikely
    kDefenceNoPath = -3,        // the enemy has no attack path on the flag
    kDefenceNoCounter = -4,     // no own piece can attack the threat's path
    kDefenceTooLate = -5,       // no counter in time, or its path is barred
    kDefenceWeakCounter = -6,   // the best counter scores below 0 or is hopeless
    kDefenceNoCounterNear = -14,
    kDefenceTooLateNear = -15,
    kDefenceWeakCounterNear = -16,
    kDefenceStopped = -20,      // a stop was asked for
};

// True for the statuses of a threat at most two moves away that cannot be
// countered (never for a stop).
inline bool IsUncounteredNearThreat(int status) { return status < -10 && status > kDefenceStopped; }

// Plans the defence of `ownFlag` (a piece of seat me) against seat `enemy`,
// the flag worth `value`. The enemy's best attack path T is found; unless it
// needs more than four moves or its survival chance is below
// styleCoefDefence, a scenario board puts copies of T's attacker on the
// start of each of its moves (each marked with its move number) and the own
// pieces' attacks on those copies that arrive in time are scored; the best
// one's first move (or a side-step of an own piece barring it) goes into
// `out` with the counter's score, boosted by the defence slider.
int PlanFlagDefence(AiWorkspace& w, int me, int enemy, int ownFlag, double value, MoveCand& out,
                    const PieceTable& pieces);

}  // namespace jq
