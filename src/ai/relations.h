// Attack relations: planned attacks of one seat's pieces on enemy pieces
// over several moves, what they cost, what stands on their way, and how
// they are scored; the danger map of the points enemy pieces can reach.
#pragma once

#include "ai/workspace.h"

namespace jq {

// More relations than this and the search goes on with the next mover.
constexpr int kRelationSoftLimit = 280;
// Room for the pieces standing on one relation's path while it is built.
constexpr int kPathPieceRoom = 600;

// The largest cost a relation may reach at this step count (exclusive):
// 8 at the start, one more every 20 steps, 18 at most.
int RelationCostLimit(int stepCount);

// Collects the attack relations of `seat` into list[0..count-1], at most
// `capacity` of them. The selector picks movers and targets: below 0 every
// own piece against every enemy piece; an own piece alone against every
// enemy piece; an enemy piece as the one target of every own piece. A
// mover must be alive, of code 3 or more and off the headquarters; a
// target alive, of the other team and outside a camp. Paths are searched on
// a copy of `pieces` from which the seat's pieces that may step aside are
// taken away, with the danger map of the copy as penalty; a path becomes a
// relation when its cost (moves plus own pieces on its way) is below
// RelationCostLimit. `blockers` always holds the pieces on the path (the
// last one found kept last when there are more than 20). Nothing is shown
// when the list fills up; collection stops when it is full or a stop was
// asked for.
void CollectAttackRelations(AiWorkspace& w, AttackRelation* list, int capacity, int32_t& count, int seat, int selector,
                            const PieceTable& pieces);
template <int N>
void CollectAttackRelations(AiWorkspace& w, FixedList<AttackRelation, N>& out, int seat, int selector,
                            const PieceTable& pieces) {
    CollectAttackRelations(w, out.items, N, out.count, seat, selector, pieces);
}

// Per board point: 0 safe, 1 an enemy of `seat` can move onto it, 2 an enemy
// piece stands on it, 3 both. Pieces of `table` are lifted and put back.
void BuildDangerMap(AiWorkspace& w, int seat, int32_t counts[kPointSlots], PieceTable& table);

// The pieces of the enemies of `seat` with a legal move onto (x, y), into
// w.aiReachList (at most its room), with fromCamp 1 for one standing in a
// camp. Returns their number.
int FindRailAttackers(AiWorkspace& w, int x, int y, int seat, const PieceTable& pieces);

// Scores every relation of list[0..count-1] (all of one attacking seat) as
// `viewer` sees them and sorts the list best first (equal scores keep their
// order as an exchange sort leaves them). The mover is walked along its
// path on a copy of `pieces`: the expected gain and the chance of
// surviving each combat accumulate, a headquarters entered costs, and at
// every road or railway point the enemy's answers are weighed.
// score = (styleCoefAttack x reachValue x survival + gain) x planScale /
// (cost + planStepOffset). An empty list reads nothing. A stop asked for
// ends the scoring between two relations, leaving the list unsorted.
void EvaluateAttackRelations(AiWorkspace& w, AttackRelation* list, int count, int viewer, const PieceTable& pieces,
                             double reachValue);

// The expected gain and survival chance of `mover` standing at (x, y) when
// the enemies of `attackerSeat` may answer (or not), as `viewer` sees it;
// `beliefs` (the mover's row) becomes the row after the answer.
void EvaluateRailThreat(AiWorkspace& w, double& gainOut, double& survivalOut, float beliefs[12], int mover, int viewer,
                        int attackerSeat, int x, int y, PieceTable& pieces);

// The best counter-attack (at least 0) of a piece with belief row `beliefs`
// standing at (x, y) on those of the given attackers that stand next to it
// or on a free railway run to it; attackers standing in a camp and
// `excluded` do not count.
double BestThreatValue(AiWorkspace& w, const float beliefs[12], int x, int y, int viewer, const ReachEntry* pairs,
                       int pairCount, int excluded, const PieceTable& pieces);

// 1 when piece `a` has somewhere else to go than (x, y): one of its present
// moves ends in a camp, or on a point it could not reach were it standing at
// (x, y) as an ordinary officer; else 0.
int TestRelocatedMobility(AiWorkspace& w, int x, int y, int a, PieceTable& pieces);

}  // namespace jq
