// The basic level ("初级") move choice, and the one place that picks the
// chooser for a level.
#pragma once

#include "ai/workspace.h"

namespace jq {

// Per seat in the order me+1, me+2, me+3, me: the weight of the reply term
// and of the balance term.
extern const float kSeatTermWeights[8];

// The closeness threshold of the random pick for a step count.
double PickThreshold(int stepCount);

// Exchange sort of the candidates, best score first; equal scores are never
// exchanged (so 5, 5, 7 becomes 7, the second 5, the first 5).
void SortCandidatesByScore(AiWorkspace& w, MoveCand* list, int count);

// Which candidates are looked at ahead (terms[0] 10, else 0): every one
// when there are fewer than 48; otherwise every move of a piece that can
// attack (of an engineer only its attacks) and every move onto a square
// around a headquarters believed to hold a flag (never in the centre).
// False when a stop was asked for.
bool MarkCandidates(AiWorkspace& w, MoveCand* list, int count, int me);

// The flag attack on the weaker enemy (of equal ones, me+3) first, then on
// the other: the first candidate with the plan's next move gets 1600 more.
void AddFlagAttackBonus(AiWorkspace& w, MoveCand* list, int count, int me);

// The random pick among the sorted candidates (at least two): one draw for
// r = draw mod 8, then at most one more. A commander's capture on the first
// place early in the battle gives one of the next places (never past the
// list); otherwise one of the top three or top two when they come close to
// the best (PickThreshold); a best score of 500 or less gives any of the
// candidates that score 0 or more; else the best.
int PickCandidate(AiWorkspace& w, const MoveCand* list, int count);

// Chooses the move of the snapshot's seat to move: lists the candidates,
// scores each by its immediate value and a greedy look-ahead of all four
// seats, adds a bonus to the next move of a flag attack on the weaker
// enemy, sorts and picks at random among the near-best. The choice is left
// in slot 0 of w.aiMoveList (count 0: no move; 1: the only one, unscored).
// Returns false when it stopped because a stop was asked for.
bool ChooseMoveBasic(AiWorkspace& w);

// The chooser of the snapshot's level. Returns false when stopped.
bool ChooseMove(AiWorkspace& w);

}  // namespace jq
