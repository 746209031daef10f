// The move choice of the upper levels ("中级" and "高级").
#pragma once

#include "ai/workspace.h"

namespace jq {

// Scores at or above this are cut to 0 while any flag plan stands.
constexpr float kPlanScoreCap = 12300.0f;

// The four flag plans of one choice: attacks on the flags of me+1 and me+3,
// defences of the own flag against me+1 and me+3.
struct FlagPlans {
    int32_t status[4] = {-7, -7, -7, -7};  // -7 not planned, -1 no flag located
    MoveCand move[4];
};

// Lets the plans bend the scores: while any plan stands, scores of 12300 or
// more fall to 0; each standing plan lifts the first candidate with its
// move's points to the plan's score (never lowers it); each defence that
// cannot meet an attack at most two moves away adds `stake` to every
// capture.
void ApplyFlagPlans(const FlagPlans& plans, MoveCand* list, int count, double stake);

// The closeness threshold of the upper levels' random pick.
float AdvancedPickThreshold(int stepCount);

// The random pick among the sorted candidates (at least one): one draw for
// r = draw mod 8, then at most one more.
int PickAdvancedCandidate(AiWorkspace& w, const MoveCand* list, int count);

// Chooses the move of the snapshot's seat to move. Level 1 plans attacks on
// every enemy flag it believes it has found, level 2 also the defence of its
// own flag; the candidates are scored by their expected outcome, the plans
// then lift their moves (or, for an attack on the flag that cannot be met,
// every capture), and the pick is random among the near-best. The choice is
// left in slot 0 of w.aiMoveList (count 0: no move). Returns false when it
// stopped because a stop was asked for.
bool ChooseMoveAdvanced(AiWorkspace& w);

}  // namespace jq
